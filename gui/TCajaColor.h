// A colour box of the settings panel, filled with a colour the engine shares and labelled with
// what the colour is for. The colour is read at every paint, so that a change shows at the next
// repaint; a click lets the user choose another.
#pragma once

#include <QWidget>
#include <atomic>

#include "platform/canvas.h"

class TCajaColor final : public QWidget {
  Q_OBJECT

 public:
  // `color` must outlive the box.
  TCajaColor(std::atomic<platform::Color>& color, const QString& etiqueta, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::atomic<platform::Color>& color_;
  const QString etiqueta_;
};

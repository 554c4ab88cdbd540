// A colour box of the settings panel, filled with a colour the engine shares: read at every
// paint, so that a changed colour shows at the next repaint.
#pragma once

#include <QWidget>
#include <atomic>

#include "platform/canvas.h"

class TCajaColor final : public QWidget {
  Q_OBJECT

 public:
  // `color` must outlive the box.
  TCajaColor(const std::atomic<platform::Color>& color, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const std::atomic<platform::Color>& color_;
};

// The memory bar (PBMemoria): painted by the program's PBMemoriaPaint over the whole widget. Its
// width is published to the program, which sizes the progress of long commands by it.
#pragma once

#include <QWidget>

class TPrograma;

class TBarraMemoria final : public QWidget {
  Q_OBJECT

 public:
  TBarraMemoria(TPrograma& programa, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  TPrograma& programa_;
};

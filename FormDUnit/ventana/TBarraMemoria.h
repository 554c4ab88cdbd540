// The memory bar (PBMemoria): painted by the program's PBMemoriaPaint over the whole widget.
#pragma once

#include <QWidget>

class TPrograma;

class TBarraMemoria final : public QWidget {
  Q_OBJECT

 public:
  TBarraMemoria(TPrograma& programa, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TPrograma& programa_;
};

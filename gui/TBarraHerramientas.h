// The toolbar (ToolBarHerramientas): the program's eight buttons, left to right in TBotonId
// order, each showing the image, hint and enabled state the program gives it.
#pragma once

#include <QToolBar>
#include <array>

#include "app/TPrograma.h"

class QToolButton;

class TBarraHerramientas final : public QToolBar {
  Q_OBJECT

 public:
  explicit TBarraHerramientas(QWidget* parent);

  // A button is enabled when it is and the whole toolbar is.
  void Mostrar(const std::array<TBoton, kNumBotones>& botones, bool habilitada);

 signals:
  void Pulsado(TBotonId boton);

 private:
  std::array<QToolButton*, kNumBotones> botones_{};
  std::array<int, kNumBotones> imagenes_;  // image index each button shows, -1 before the first
};

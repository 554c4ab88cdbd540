// The main window: the settings panel, the device list and the bottom bar with the toolbar and
// the memory bar. It holds the program and only shows its state and forwards events to it;
// construction runs the program's start-up and destruction its shut-down.
#pragma once

#include <QWidget>
#include <memory>

#include "app/TPrograma.h"

class QLabel;
class QTimer;
class TBarraHerramientas;
class TBarraMemoria;
class TListaDispositivos;
class TPanelConfigurar;

class TFormDList final : public QWidget {
  Q_OBJECT

 public:
  explicit TFormDList(QWidget* parent = nullptr);
  ~TFormDList() override;

  TPrograma& Programa() { return *programa_; }

 protected:
  // Asks before closing while sticks still have work.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BotonPulsado(TBotonId boton);
  void ArchivosSoltados(const std::vector<std::string>& rutas);
  void TimerVTimer();
  // Buttons, caption and settings panel as the program has them now.
  void MostrarEstado();
  void Colocar();
  // The designed size, widened so that a normal row of the device list and the memory text show
  // whole.
  QSize TallaInicial();

  // The widgets carry the names of the controls as their object names.
  TListaDispositivos* lista_;  // DListBox; made first: the program holds it as its view
  std::unique_ptr<TPrograma> programa_;
  TPanelConfigurar* panel_;             // PageControlConfigurar
  QLabel* resumen_;                     // the job's summary line above the list
  QLabel* aviso_;                       // the program's notice, under the summary
  TBarraHerramientas* herramientas_;    // ToolBarHerramientas
  TBarraMemoria* memoria_;              // PBMemoria
  QTimer* timer_;                       // TimerV
};

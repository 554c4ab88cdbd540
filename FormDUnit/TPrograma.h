// The main window's state and commands in plain C++: the device workers, the source, the
// settings the engine reads, the toolbar's state and the progress of long commands. The Qt
// window shows this state and forwards its events here; tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "DUnit/TDHilo.h"
#include "DUnit/TEntorno.h"
#include "FormDUnit/TVistaDispositivos.h"
#include "platform/canvas.h"

// The program's name: caption, settings and listing file names, status page title.
std::u16string NombrePrograma();

// The eight toolbar buttons, left to right.
enum TBotonId {
  ToolButtonContinuarDetener,
  ToolButtonAbrirGuardar,
  ToolButtonPriorizar,
  ToolButtonCancelar,
  ToolButtonActualizar,
  ToolButtonSumarRestar,
  ToolButtonListar,
  ToolButtonAjusteProgreso,
  kNumBotones
};

struct TBoton {
  int ImageIndex = 0;
  std::u16string Hint;
  bool Enabled = true;
};

class TPrograma {
 public:
  explicit TPrograma(TVistaDispositivos& vista);
  ~TPrograma();

  // Start-up and shut-down sequences.
  void FormCreate();
  void FormDestroy();

  // Every timer tick: speed texts of every worker; the window then repaints.
  void TimerVTimer();
  // The device refresh.
  void ToolButtonActualizarClick();

  // Drawing, called by the window's paint events.
  void PBMemoriaPaint(platform::Canvas& canvas, int W, int H);
  int DListBoxMeasureItem(platform::Canvas& canvas);
  void DrawItem(int index, platform::Canvas& canvas, const platform::Rect& rect, bool selected);

  // Sorting and look-up of workers by volume serial.
  std::vector<TDHilo*> ListaPorID() const;
  static TDHilo* EncontrarID(const std::vector<TDHilo*>& lista, std::uint32_t serial);
  void EnfocarDispositivo(std::uint32_t serial);

  // Window colours the drawing uses that the toolkit gives (highlight and text of a list).
  platform::Color ColorResaltado = platform::Rgb(0, 120, 215);
  platform::Color ColorLista = platform::Rgb(255, 255, 255);
  platform::Color ColorTexto = platform::Rgb(0, 0, 0);

  // State shared with the engine.
  std::shared_ptr<TEntorno> Entorno;
  std::vector<std::shared_ptr<TDHilo>> DList;  // index i = item i of the device list
  std::shared_ptr<TDHilo> OCopia;              // the source, once chosen
  std::shared_mutex SincronizadorListas;

  // Settings held by the window.
  bool UsarCaminoOrigen = true;
  std::int32_t FileAppVersion = 0;
  std::int32_t AppVersion = 0;

  // Progress of a long main-thread command (shown in the memory bar).
  double LDT = 0;
  std::u16string ProgresoTexto;
  std::int32_t ProgresoValor = 0;

  // What the window shows.
  std::u16string Caption;
  std::array<TBoton, kNumBotones> Botones;
  bool ToolbarEnabled = true;
  bool PanelConfigurarVisible = false;

  // Hooks the window sets: repaint the memory bar, process pending window messages.
  std::function<void()> RepintarMemoria;
  std::function<void()> ProcesarMensajes;

 private:
  TVistaDispositivos& Vista;
};

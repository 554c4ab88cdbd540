// The main window's state and commands in plain C++: the device workers, the source, the
// settings the engine reads, the toolbar's state and the progress of long commands. The Qt
// window shows this state and forwards its events here; tests drive it directly.
#pragma once

#include <array>
#include <chrono>
#include <deque>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <vector>

#include "app/FilaDispositivo.h"
#include "app/TColores.h"
#include "app/InformeTrabajos.h"
#include "app/TEncargos.h"
#include "app/TSondeos.h"
#include "app/TVistaDispositivos.h"
#include "engine/TDHilo.h"
#include "engine/TEntorno.h"
#include "platform/canvas.h"
#include "platform/files.h"
#include "platform/http_server.h"

// The program's name: caption, settings and listing file names, status page title.
std::u16string NombrePrograma();

// Where the settings file lies for a program in `carpeta_programa`: beside it where a file already
// lies there (a portable copy) or where that folder can be written (and is not one of the
// system's); otherwise in the user's configuration folder, $XDG_CONFIG_HOME/orsanta/ or, without
// it, ~/.config/orsanta/ (an installed program). Empty when neither can be told.
std::string RutaConfiguracionPara(const std::string& carpeta_programa, const char* xdg_config_home,
                                  const char* home);

// The eight toolbar buttons, left to right.
enum TBotonId {
  ToolButtonContinuarDetener,
  ToolButtonAbrirGuardar,
  ToolButtonPriorizar,
  ToolButtonCancelar,
  ToolButtonActualizar,
  ToolButtonSumarRestar,
  ToolButtonListar,
  ToolButtonVerificar,
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
  // The engine and the program reach the operating system through env (a test may pass its own).
  explicit TPrograma(TVistaDispositivos& vista,
                     std::shared_ptr<platform::Env> env = platform::DefaultEnv());
  ~TPrograma();

  // Start-up and shut-down sequences. FormDestroy saves the settings, stops the status server,
  // and ends every worker and waits for them (TerminarYEsperar), so that each deletes its
  // unfinished copy before the program exits.
  void FormCreate();
  void FormDestroy();
  static constexpr int kEsperaCierreMs = 20000;
  // Ends every worker the way closing does: the source ends its destinations itself, after
  // taking them out of its operations. The workers end on their own threads (each one's
  // Finished() tells when).
  void TerminarDispositivos();
  // TerminarDispositivos, then waits for every worker ended so far to finish, at most
  // kEsperaCierreMs; `progreso(quedan, total)` is called every 20 ms meanwhile (the window shows
  // the count while it closes).
  void TerminarYEsperar(const std::function<void(int quedan, int total)>& progreso);
  // Whether a drive has work queued, under way or being flushed, or is in error with its job
  // unfinished: closing now leaves it unfinished.
  bool TrabajoEnCurso() const;
  // Whether the window may close: with work under way only when the user confirms it
  // (Confirmar; without it, yes).
  bool PuedeCerrar();
  std::function<bool(const std::u16string& pregunta)> Confirmar;

  // Every timer tick: speed texts of every worker, and the free space of every worker whose job
  // has ended since its drive's free space was last read; the window then repaints.
  void TimerVTimer();

  // A worker's row: its snapshot with the figures of its current job, and whether the user has
  // stopped it.
  TFila Fila(const TDHilo& hilo) const;
  // The rows of DList, in order.
  std::vector<TFila> Filas() const;
  // A new job starts: every worker with nothing to do (idle, done, or, while no worker is busy,
  // failed) counts its job's figures from here. Called before a drop or a copy list adds work.
  void EmpezarTrabajos();
  // A drop gives `hilo` a file that replaces `bytes` already on its drive: while the job runs
  // its row counts them as space the job gives back.
  void SumarReemplazo(const TDHilo& hilo, std::int64_t bytes);
  // The device refresh. A drive whose probe does not answer in time gets a row "Sin
  // respuesta" whose worker has serial 0: it is never a source or a destination, nor listed,
  // until its answer comes (SondeosRespondidos refreshes again then).
  void ToolButtonActualizarClick();
  // How long a refresh waits for the drives' probes before it shows the rows of those that
  // have not answered "Sin respuesta" and goes on.
  std::chrono::milliseconds PlazoSondeo{400};
  // Every timer tick: a refresh when a probe that had not answered has answered.
  void SondeosRespondidos();
  // Every timer tick: a destination whose drive left the mount table during a job keeps its
  // row, marked removed with what it had done, until the next refresh; its work is withdrawn
  // and its worker ended (which deletes the copy it had under way), and a notice names what
  // it was left without.
  void QuitarDesaparecidos();
  // The worker of the row of a drive, mounted at `montaje`, whose probe has not answered.
  static TDHilo* SinRespuesta(const std::vector<std::shared_ptr<TDHilo>>& lista,
                              const std::string& montaje);

  // Drawing, called by the window's paint events.
  void PBMemoriaPaint(platform::Canvas& canvas, int W, int H);
  int DListBoxMeasureItem(platform::Canvas& canvas);

  // Toolbar commands.
  void ToolButtonContinuarDetenerClick();
  void ToolButtonPriorizarClick();
  void ToolButtonCancelarClick();
  void ToolButtonSumarRestarClick();
  void ToolButtonAjusteProgresoClick();
  void ToolButtonAbrirGuardarClick();
  void ToolButtonListarClick();
  // The selected sticks checked against their manifests (ComprobarUnidades).
  void ToolButtonVerificarClick();
  // Reads each stick's manifest and has its worker read back every file it lists and compare
  // it, copying nothing (TDHilo::ComprobarManifiesto). A stick without a usable manifest, the
  // source, or a stick that is busy or in error is left alone with a notice in Avisos. The
  // workers that started a check.
  std::vector<std::shared_ptr<TDHilo>> ComprobarUnidades(
      const std::vector<std::shared_ptr<TDHilo>>& elegidos);

  // Drops: full Linux paths in the order delivered. Ignored while the toolbar is disabled.
  void WMDropFiles(const std::vector<std::string>& nombres);
  // Makes DH the source: its own role, every other worker a destination of it.
  void AsignarOrigen(const std::shared_ptr<TDHilo>& DH);
  // The first worker of `lista` whose drive, at the last refresh, was mounted at `montaje`.
  static TDHilo* EncontrarMontaje(const std::vector<std::shared_ptr<TDHilo>>& lista,
                                  const std::string& montaje);

  // Folder scan and listings. `base` is how many leading characters of a full path DNombre
  // leaves out.
  void RecorrerCarpeta(std::deque<std::unique_ptr<TFRec>>& lista, const std::u16string& F,
                       std::size_t base);
  void AgregarFR(std::deque<std::unique_ptr<TFRec>>& lista, const std::u16string& P,
                 std::size_t base, const platform::FindData& W);
  void CrearListado(TDHilo& DH);
  void GuardarListado(TDHilo& DH, const std::deque<std::unique_ptr<TFRec>>& L);
  std::deque<std::unique_ptr<TFRec>> LeerListado(TDHilo& DH);

  // Copy lists (Linux paths).
  void GuardarLista(const std::string& ruta);
  void AbrirLista(const std::string& ruta);
  std::string RutaListaGuardada;  // the save name once chosen; later saves reuse it
  // Every record handed to the source in this run and the destinations it still needs: what a
  // saved list holds besides the queue.
  TEncargos Encargos;

  // Settings: rows 1 to 5 of the value editor.
  void LeerConfiguracion();
  void GuardarConfiguracion();
  // Checks, clamps and applies one value and shows it in its row. False when the text is not a
  // number where one is needed (the row is rewritten all the same).
  bool ValidarVariable(int fila, const std::u16string& texto);
  static std::u16string QuitarEspacios(const std::u16string& texto);
  // The value column as the editor holds it: the settings file's five rows, then the read-back
  // and the manifest.
  std::array<std::u16string, 7> Valores;
  std::string RutaConfiguracion;          // the settings file (RutaConfiguracionPara)
  // Each destination's job, as it ends, in the user's data folder; the front end that runs for
  // a user names the folder (empty: no report).
  TInformeTrabajos Informe{""};

  // The status server answers every request with what PaginaHTTP builds for its target (set by
  // the front end that serves it; without it, an empty page). Called on the server's threads.
  std::unique_ptr<platform::HttpServer> IdHTTPServer;
  platform::HttpServer::Handler PaginaHTTP;
  // False for a front end that serves no status (the command line): the server is never
  // activated, whatever the settings say.
  bool ConServidorEstado = true;

  // Sorting and look-up of workers by volume serial.
  std::vector<TDHilo*> ListaPorID() const;
  static TDHilo* EncontrarID(const std::vector<TDHilo*>& lista, std::uint32_t serial);
  void EnfocarDispositivo(std::uint32_t serial);

  // Window colours the drawing uses that the toolkit gives (highlight and text of a list).
  platform::Color ColorResaltado = platform::Rgb(0, 120, 215);
  platform::Color ColorLista = platform::Rgb(255, 255, 255);
  platform::Color ColorTexto = platform::Rgb(0, 0, 0);
  platform::Color ColorVentana = platform::Rgb(240, 240, 240);  // behind the memory bar's text

  // The bars' colours (settings rows 1 to 3).
  TColores Colores;

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
  // What the last command did where nothing else shows it, or why it did nothing; the window
  // shows it under the summary line (and below the text of a message box) until the next
  // command. Empty: the command showed its own effect.
  std::u16string Aviso;
  std::array<TBoton, kNumBotones> Botones;
  bool ToolbarEnabled = true;
  bool PanelConfigurarVisible = false;

  // Hooks the window sets: repaint the memory bar, process pending window messages, show the
  // busy cursor, show a message box, ask for a copy list's file name (false: cancelled), give
  // the ICO bytes of the icon of a Linux path (empty: none). Tests set their own.
  std::function<void()> RepintarMemoria;
  std::function<void()> ProcesarMensajes;
  std::function<void(bool ocupado)> CursorOcupado;
  std::function<void(const std::u16string& texto)> MostrarMensaje;
  std::function<bool(std::string* ruta)> DialogoAbrir;
  std::function<bool(std::string* ruta)> DialogoGuardar;
  std::function<std::string(const std::string& ruta_linux)> IconoIco;
  std::string RutaPrograma;  // the running program's own file
  int AnchoBarraMemoria = 0;  // for progress widths

  // What a command found wrong on the way (a listing file that is no regular file, records
  // refused in a copy list), shown in one message box when the command ends and no lock is
  // held. Main thread.
  std::vector<std::u16string> Avisos;
  void MostrarAvisos();

  // The progress throttle of long commands: true when a refresh is due (LDT is then now).
  bool ProgresoPendiente();
  // When a refresh is due, the memory bar's progress part takes `hecho` of `total`; true then.
  bool AvanzarProgreso(std::int64_t hecho, std::int64_t total);
  // Repaints the memory bar and lets the window process pending messages, where hooks are set.
  void Refrescar();

 private:
  // An accepted drop from the source drive (paths through its mount point, paths.h).
  void DListBoxDropFiles(const std::vector<std::u16string>& nombres);
  // The folder scan of the dropped names, in scan order.
  std::deque<std::unique_ptr<TFRec>> ListarArrastrados(const std::vector<std::u16string>& nombres);

  TVistaDispositivos& Vista;
  TSondeos Sondeos;  // the volume probes of the refreshes

  // Per worker (by its identity): DPos and DFin when its current job started, DPos when its
  // drive's free space was last read, and the bytes of older files its job writes over. Main
  // thread only.
  struct TTrabajo {
    std::int64_t BasePos = 0;
    std::int64_t BaseFin = 0;
    std::int64_t PosEspacio = 0;
    std::int64_t Reemplazo = 0;
  };
  std::map<TIdDestino, TTrabajo> Trabajos;
  // The workers ended by TerminarYEsperar, still waited for by a later call.
  std::vector<std::shared_ptr<TDHilo>> Cerrando;
  // The folders the scan is inside of, outermost first: a link back to one of them is a cycle.
  std::vector<platform::FileIdentity> CarpetasEnCurso;
  // While a listing scans a stick: its device, the only one the scan descends into.
  std::optional<std::uint64_t> VolumenListado;
};

// Start-up, shut-down, the timer and the drawing of the main window's state.
#include "app/TPrograma.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/TallaStr.h"
#include "platform/locale.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {

constexpr std::int32_t kFileAppVersion = 42563;

// The settings file lies beside the executable; empty when the executable cannot be found,
// and the program then runs on the defaults.
std::string RutaConfiguracionInicial() {
  std::error_code error;
  const std::filesystem::path programa = std::filesystem::read_symlink("/proc/self/exe", error);
  std::string nombre;
  if (error || !platform::EncodeName(NombrePrograma() + u".cfg", &nombre)) return {};
  return (programa.parent_path() / nombre).string();
}

}  // namespace

TPrograma::TPrograma(TVistaDispositivos& vista, std::shared_ptr<platform::Env> env)
    : Entorno(std::make_shared<TEntorno>(std::move(env))), Vista(vista) {
  Botones[ToolButtonContinuarDetener] = {0, u"Detener operaciones.", false};
  Botones[ToolButtonAbrirGuardar] = {2, u"Abrir.", true};
  Botones[ToolButtonPriorizar] = {4, u"Priorizar el dispositivo seleccionado.", false};
  Botones[ToolButtonCancelar] = {5, u"Cancelar operaciones en dispositivos seleccionados.", false};
  Botones[ToolButtonActualizar] = {6, u"Actualizar estado de los dispositivos conectados.", true};
  Botones[ToolButtonSumarRestar] = {7, u"Al arrastrar agregar.", true};
  Botones[ToolButtonListar] = {9, u"Crear listado.", true};
  Botones[ToolButtonAjusteProgreso] = {10, u"Ajustes.", true};
  // Inactive, on port 80, until the settings say otherwise.
  IdHTTPServer = platform::MakeHttpServer([this](std::string_view destino) {
    return PaginaHTTP ? PaginaHTTP(destino) : platform::HttpAnswer();
  });
}

// The server goes first: its requests read the members destroyed after it.
TPrograma::~TPrograma() { IdHTTPServer.reset(); }

void TPrograma::FormCreate() {
  FileAppVersion = kFileAppVersion;
  AppVersion = FileAppVersion + 25;
  LDT = Entorno->Env->Now();
  platform::MemoryStatus memoria;
  if (Entorno->Env->GlobalMemoryStatus(&memoria)) {
    Entorno->MemoriaTotal = static_cast<std::int64_t>(memoria.TotalPhys);
  }
  if (RutaConfiguracion.empty()) RutaConfiguracion = RutaConfiguracionInicial();
  LeerConfiguracion();
  ProgresoTexto.clear();
  ProgresoValor = 0;
  {
    std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
    DList.clear();
  }
  ToolButtonActualizarClick();
  if (Vista.Count() > 0) {
    Vista.SetItemIndex(Vista.Count() - 1);
    Vista.SetSelected(Vista.Count() - 1, true);
  }
  Caption = NombrePrograma();
}

void TPrograma::FormDestroy() {
  GuardarConfiguracion();
  IdHTTPServer->Deactivate();
  const std::vector<std::shared_ptr<TDHilo>> hilos = DList;
  TerminarDispositivos();
  const auto limite = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEsperaCierreMs);
  for (;;) {
    const auto quedan = std::count_if(hilos.begin(), hilos.end(),
                                      [](const auto& hilo) { return !hilo->Finished(); });
    if (quedan == 0 || std::chrono::steady_clock::now() >= limite) break;
    ProgresoTexto = u"Terminando " + EnteroStr(static_cast<std::int64_t>(quedan)) + u" unidades...";
    Refrescar();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ProgresoTexto.clear();
}

void TPrograma::TerminarDispositivos() {
  try {
    Vista.Clear();
    if (OCopia) {
      // The source ends its destinations itself, after taking them out of its operations.
      for (auto it = DList.rbegin(); it != DList.rend(); ++it) {
        if (*it != OCopia) OCopia->AgregarEliminarDestino(*it);
      }
      {
        std::unique_lock<std::shared_mutex> lock(SincronizadorListas);
        DList.clear();
      }
      OCopia->Terminate();
    } else {
      for (auto it = DList.rbegin(); it != DList.rend(); ++it) (*it)->Terminate();
    }
  } catch (...) {
    // Closing goes on whatever failed.
  }
}

bool TPrograma::TrabajoEnCurso() const {
  return std::any_of(DList.begin(), DList.end(), [](const auto& hilo) {
    const TEstado estado = hilo->GetEstado();
    return estado == TEstado::EnCola || estado == TEstado::Escribiendo ||
           estado == TEstado::Sincronizando;
  });
}

void TPrograma::TimerVTimer() {
  for (const auto& hilo : DList) hilo->OnTime();
  SondeosRespondidos();
}

void TPrograma::PBMemoriaPaint(platform::Canvas& canvas, int W, int H) {
  try {
    platform::MemoryStatus memoria;
    Entorno->Env->GlobalMemoryStatus(&memoria);
    const std::int32_t L = static_cast<std::int32_t>(memoria.MemoryLoad);
    const std::uint64_t A = memoria.AvailPhys;
    const int x = W * L / 100;
    const platform::Color color =
        static_cast<std::uint64_t>(Entorno->MemoriaLibre.load()) < A ? Colores.ColorOrigen.load()
                                                                     : Colores.ColorError.load();
    const std::u16string texto = u" Memoria ocupada " + EnteroStr(L) + u"%, Libre " +
                                 TallaStr(static_cast<std::int64_t>(A));
    canvas.SetBrushColor(color);
    if (ProgresoTexto.empty()) {
      canvas.FillRect({0, 0, x, H});
      canvas.SetBrushClear();
      canvas.TextOut(0, H / 2 - canvas.TextHeight(u"Wg") / 2, texto);
    } else {
      canvas.FillRect({0, 0, x, H / 2});
      canvas.SetBrushColor(Colores.ColorDestino.load());
      canvas.FillRect({0, H / 2, ProgresoValor, H});
      canvas.SetBrushClear();
      canvas.TextOut(0, 0, texto);
      canvas.TextOut(0, H / 2, ProgresoTexto);
    }
  } catch (...) {
    // A bar left half drawn is drawn again at the next tick.
  }
}

int TPrograma::DListBoxMeasureItem(platform::Canvas& canvas) {
  return 2 * canvas.TextHeight(u"Wg");
}

bool TPrograma::ProgresoPendiente() {
  const double ahora = Entorno->Env->Now();
  if ((ahora - LDT) * 86400000.0 <= Entorno->IntervaloTimer.load()) return false;
  LDT = ahora;
  return true;
}

bool TPrograma::AvanzarProgreso(std::int64_t hecho, std::int64_t total) {
  if (!ProgresoPendiente()) return false;
  ProgresoValor = static_cast<std::int32_t>(AnchoBarraMemoria * hecho / total);
  return true;
}

void TPrograma::Refrescar() {
  if (RepintarMemoria) RepintarMemoria();
  if (ProcesarMensajes) ProcesarMensajes();
}

void TPrograma::MostrarAvisos() {
  if (Avisos.empty()) return;
  std::u16string texto;
  for (const std::u16string& aviso : Avisos) {
    if (!texto.empty()) texto += u"\r\n";
    texto += aviso;
  }
  Avisos.clear();
  if (MostrarMensaje) MostrarMensaje(texto);
}

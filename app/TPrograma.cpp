// Start-up, shut-down, the timer and the drawing of the main window's state.
#include "app/TPrograma.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/SinCopiar.h"
#include "app/PintarDispositivo.h"
#include "app/TallaStr.h"
#include "platform/locale.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {

constexpr std::int32_t kFileAppVersion = 42563;

// The settings file of the running program (RutaConfiguracionPara); empty when the executable
// cannot be found, and the program then runs on the defaults.
std::string RutaConfiguracionInicial() {
  std::error_code error;
  const std::filesystem::path programa = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return RutaConfiguracionPara(programa.parent_path().string(), std::getenv("XDG_CONFIG_HOME"),
                               std::getenv("HOME"));
}

}  // namespace

std::string RutaConfiguracionPara(const std::string& carpeta_programa,
                                  const char* xdg_config_home, const char* home) {
  std::string nombre;
  if (!platform::EncodeName(NombrePrograma() + u".cfg", &nombre)) return {};
  const std::filesystem::path junto = std::filesystem::path(carpeta_programa) / nombre;
  std::error_code error;
  if (std::filesystem::exists(junto, error)) return junto.string();
  // A program installed in the system's folders keeps its settings per user, also when root
  // could write there.
  bool del_sistema = false;
  for (const char* sistema : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"}) {
    if ((carpeta_programa + "/").rfind(sistema, 0) == 0) del_sistema = true;
  }
  if (!del_sistema && access(carpeta_programa.c_str(), W_OK) == 0) return junto.string();
  std::filesystem::path base;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    base = xdg_config_home;
  } else if (home != nullptr && home[0] != 0) {
    base = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  std::u16string carpeta = NombrePrograma();
  for (char16_t& c : carpeta) c = (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c;
  std::string carpeta_bytes;
  if (!platform::EncodeName(carpeta, &carpeta_bytes)) return {};
  return (base / carpeta_bytes / nombre).string();
}

TPrograma::TPrograma(TVistaDispositivos& vista, std::shared_ptr<platform::Env> env)
    : Entorno(std::make_shared<TEntorno>(std::move(env))), Vista(vista) {
  Botones[ToolButtonContinuarDetener] = {0, u"Detener operaciones.", false};
  Botones[ToolButtonAbrirGuardar] = {2, u"Abrir.", true};
  Botones[ToolButtonPriorizar] = {4, u"Priorizar el dispositivo seleccionado.", false};
  Botones[ToolButtonCancelar] = {5, u"Cancelar operaciones en dispositivos seleccionados.", false};
  Botones[ToolButtonActualizar] = {6, u"Actualizar estado de los dispositivos conectados.", true};
  Botones[ToolButtonSumarRestar] = {7, u"Al arrastrar agregar.", true};
  Botones[ToolButtonListar] = {9, u"Crear listado.", true};
  Botones[ToolButtonVerificar] = {12, u"Verificar los dispositivos seleccionados con su manifiesto.",
                                  true};
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
  // No messages are processed while it waits: the window is being taken down, and the
  // commands' hooks may belong to it.
  TerminarYEsperar([](int, int) {});
}

void TPrograma::TerminarYEsperar(const std::function<void(int quedan, int total)>& progreso) {
  Cerrando.insert(Cerrando.end(), DList.begin(), DList.end());
  TerminarDispositivos();
  const int total = static_cast<int>(Cerrando.size());
  const auto limite = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEsperaCierreMs);
  for (;;) {
    const int quedan = static_cast<int>(std::count_if(
        Cerrando.begin(), Cerrando.end(), [](const auto& hilo) { return !hilo->Finished(); }));
    progreso(quedan, total);
    if (quedan == 0 || std::chrono::steady_clock::now() >= limite) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
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

bool TPrograma::PuedeCerrar() {
  if (!TrabajoEnCurso() || !Confirmar) return true;
  return Confirmar(u"Hay memorias sin terminar. Si cierra ahora, lo que falta no se copia y los "
                   u"archivos a medio copiar se borran. ¿Cerrar?");
}

bool TPrograma::TrabajoEnCurso() const {
  return std::any_of(DList.begin(), DList.end(), [](const auto& hilo) {
    const TEstado estado = hilo->GetEstado();
    // A stick in error is retried, so its job is not over either.
    return estado == TEstado::EnCola || estado == TEstado::Escribiendo ||
           estado == TEstado::Sincronizando || estado == TEstado::Verificando ||
           (estado == TEstado::Fallido && hilo->GetDPos() < hilo->GetDFin());
  });
}

void TPrograma::TimerVTimer() {
  for (const auto& hilo : DList) hilo->OnTime();
  const double segundos =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  for (const auto& hilo : DList) {
    if (hilo->GetOD() != nullptr && !hilo->EsLaFuente()) {
      Informe.Observar(hilo->GetId(), hilo->GetInstantanea(), segundos, Entorno->Env->Now());
    }
  }
  SondeosRespondidos();
  QuitarDesaparecidos();
  // A job that ended has changed the drive's free space: what was read before it (at the
  // refresh or the drop) is stale, and a shortfall counted then would stay on the row.
  for (const auto& hilo : DList) {
    const TEstado estado = hilo->GetEstado();
    if (estado != TEstado::Terminado && estado != TEstado::Fallido && estado != TEstado::Reposo)
      continue;
    TTrabajo& trabajo = Trabajos[hilo->GetId()];
    const std::int64_t pos = hilo->GetDPos();
    if (trabajo.PosEspacio == pos) continue;
    trabajo.PosEspacio = pos;
    hilo->GetEspacioLibre();
    if (estado == TEstado::Terminado && hilo != OCopia) {
      OlvidarHechos(Encargos, TRaicesDestinos(*Entorno->Env, {hilo}, nullptr), hilo->GetAppRec().ID);
    }
  }
  // Workers that left the list leave their figures.
  std::erase_if(Trabajos, [this](const auto& par) {
    return std::none_of(DList.begin(), DList.end(),
                        [&](const auto& hilo) { return hilo->GetId() == par.first; });
  });
}

TFila TPrograma::Fila(const TDHilo& hilo) const {
  TFila fila = TFila::De(hilo.GetInstantanea());
  const auto it = Trabajos.find(hilo.GetId());
  fila.Detenido = Botones[ToolButtonContinuarDetener].ImageIndex != 0 && hilo.Suspended();
  if (it == Trabajos.end()) return fila;
  const TTrabajo& trabajo = it->second;
  fila.TrabajoPos = fila.Foto.DPos - trabajo.BasePos;
  fila.TrabajoFin = fila.Foto.DFin - trabajo.BaseFin;
  // Files written over give their space back as they are created again: while the job runs the
  // space it leaves counts them. Once it ends the drive's free space is read again.
  TCapacidad& capacidad = fila.Foto.Capacidad;
  if (trabajo.Reemplazo > 0 && capacidad.Valida && !fila.Foto.EsOrigen && Activo(EstadoFila(fila))) {
    const std::int64_t queda = (capacidad.Faltan ? -capacidad.Bytes : capacidad.Bytes) +
                               trabajo.Reemplazo;
    capacidad.Faltan = queda < 0;
    capacidad.Bytes = queda < 0 ? -queda : queda;
  }
  return fila;
}

std::vector<TFila> TPrograma::Filas() const {
  std::vector<TFila> filas;
  filas.reserve(DList.size());
  for (const auto& hilo : DList) filas.push_back(Fila(*hilo));
  return filas;
}

void TPrograma::EmpezarTrabajos() {
  const auto ocupado = [](TEstado estado) {
    return estado == TEstado::EnCola || estado == TEstado::Escribiendo ||
           estado == TEstado::Sincronizando || estado == TEstado::Verificando;
  };
  const bool en_curso = std::any_of(DList.begin(), DList.end(),
                                    [&](const auto& hilo) { return ocupado(hilo->GetEstado()); });
  for (const auto& hilo : DList) {
    const TEstado estado = hilo->GetEstado();
    // While a job runs its failed drives stay in it, so that its summary keeps them.
    if (ocupado(estado) || (en_curso && estado == TEstado::Fallido)) continue;
    TTrabajo& trabajo = Trabajos[hilo->GetId()];
    trabajo.BasePos = hilo->GetDPos();
    trabajo.BaseFin = hilo->GetDFin();
    trabajo.Reemplazo = 0;
  }
}

void TPrograma::SumarReemplazo(const TDHilo& hilo, std::int64_t bytes) {
  Trabajos[hilo.GetId()].Reemplazo += bytes;
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
    // Each text keeps its contrast over the bar and beside it.
    const platform::Color letra = canvas.FontColor();
    canvas.SetBrushColor(color);
    if (ProgresoTexto.empty()) {
      canvas.FillRect({0, 0, x, H});
      canvas.SetBrushClear();
      TextoSobreBarra(canvas, 0, H / 2 - canvas.TextHeight(u"Wg") / 2, texto, {0, 0, W, H}, x,
                      color, ColorVentana, letra);
    } else {
      canvas.FillRect({0, 0, x, H / 2});
      canvas.SetBrushColor(Colores.ColorDestino.load());
      canvas.FillRect({0, H / 2, ProgresoValor, H});
      canvas.SetBrushClear();
      TextoSobreBarra(canvas, 0, 0, texto, {0, 0, W, H / 2}, x, color, ColorVentana, letra);
      TextoSobreBarra(canvas, 0, H / 2, ProgresoTexto, {0, H / 2, W, H}, ProgresoValor,
                      Colores.ColorDestino.load(), ColorVentana, letra);
    }
  } catch (...) {
    // A bar left half drawn is drawn again at the next tick.
  }
}

int TPrograma::DListBoxMeasureItem(platform::Canvas& canvas) {
  // Two text lines and the closing line below them: on the last row of the second line it would
  // hide the underscores of the file names ("IMG_0001" read as "IMG 0001").
  return 2 * canvas.TextHeight(u"Wg") + 1;
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

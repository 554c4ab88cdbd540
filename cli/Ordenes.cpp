#include "cli/Ordenes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <set>
#include <thread>

#include "app/ColaBloqueada.h"
#include "app/FechaIso.h"
#include "app/Json.h"
#include "app/TSuspension.h"
#include "app/TallaStr.h"
#include "app/TextoError.h"
#include "app/UnidadJson.h"
#include "cli/Corrida.h"
#include "cli/Entradas.h"
#include "cli/Especificaciones.h"
#include "cli/Informe.h"
#include "cli/ProgramaCli.h"
#include "cli/SeguirComprobaciones.h"
#include "cli/Salida.h"
#include "platform/drives.h"
#include "platform/locale.h"
#include "platform/paths.h"

namespace {

// The end of every command that started the program: its workers ended and waited for. One
// still running then, or an eject still under way, must not meet the static objects going
// away: the process ends at once.
int Salir(TProgramaCli& cli, int estado, bool pendiente = false) {
  const bool cerrado = cli.Cerrar(cli.LimiteCierre());
  if (!cerrado || pendiente) {
    if (!cerrado) Avisar("un dispositivo no respondió al terminar");
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(estado);
  }
  return estado;
}

// The message the program would have shown, or the one given.
std::string Mensaje(TProgramaCli& cli, const std::string& otro) {
  const std::vector<std::u16string> mensajes = cli.TomarMensajes();
  if (mensajes.empty()) return otro;
  return otro + " (" + platform::ToUtf8(mensajes.back()) + ")";
}

void EscribirLinea(const std::string& linea) {
  std::fwrite(linea.data(), 1, linea.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

const char* TipoJson(std::uint32_t tipo) {
  switch (tipo) {
    case platform::DRIVE_REMOVABLE:
      return "removable";
    case platform::DRIVE_FIXED:
      return "fixed";
    case platform::DRIVE_REMOTE:
      return "remote";
    default:
      return "other";
  }
}

const char* TipoTexto(std::uint32_t tipo) {
  switch (tipo) {
    case platform::DRIVE_REMOVABLE:
      return "extraíble";
    case platform::DRIVE_FIXED:
      return "fijo";
    case platform::DRIVE_REMOTE:
      return "remoto";
    default:
      return "otro";
  }
}

// Columns as wide as their widest cell, counted in characters.
std::string Tabla(const std::vector<std::vector<std::string>>& filas) {
  auto columnas = [](const std::string& texto) {
    return static_cast<std::size_t>(std::count_if(texto.begin(), texto.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  };
  std::vector<std::size_t> anchos;
  for (const auto& fila : filas) {
    anchos.resize(std::max(anchos.size(), fila.size()));
    for (std::size_t i = 0; i < fila.size(); ++i) {
      anchos[i] = std::max(anchos[i], columnas(fila[i]));
    }
  }
  std::string texto;
  for (const auto& fila : filas) {
    std::string linea;
    for (std::size_t i = 0; i < fila.size(); ++i) {
      linea += fila[i];
      if (i + 1 < fila.size()) linea += std::string(anchos[i] - columnas(fila[i]) + 2, ' ');
    }
    texto += linea + "\n";
  }
  return texto;
}

// The listing file of a drive, at its root.
std::string RutaListado(const std::string& montaje) {
  std::string nombre;
  platform::EncodeName(NombrePrograma() + u".lst", &nombre);
  return (montaje == "/" ? "" : montaje) + "/" + nombre;
}

// The --to SPECs, or "removable" without any.
std::vector<std::string> DestinosPedidos(const TArgumentos& argumentos) {
  return argumentos.Destinos.empty() ? std::vector<std::string>{"removable"} : argumentos.Destinos;
}

// --verify or --no-verify over the settings, for this run only: the settings file is never
// written here.
void ElegirVerificacion(const TArgumentos& argumentos, TPrograma& P) {
  if (argumentos.Verificar) P.Entorno->Verificar = *argumentos.Verificar;
}

// How a checked stick ended: "verified", "failed", "removed", "cancelled".
const char* ResultadoComprobacion(const TComprobado& c) {
  if (!c.Acabado) return "cancelled";
  if (c.Foto.Estado == TEstado::Quitado) return "removed";
  if (c.Foto.LEC == 0 && c.Foto.Comprobacion.Verificado) return "verified";
  return "failed";
}

const char* FallaTexto(TFalla falla) {
  switch (falla) {
    case TFalla::Falta:
      return "falta";
    case TFalla::Talla:
      return "otra talla";
    default:
      return "distinto";
  }
}

// A checked stick's end, on standard output: one JSON object, or a line and one more per file
// that is missing or differs.
void InformarComprobacion(const TComprobado& c, bool json) {
  const std::string resultado = ResultadoComprobacion(c);
  const TComprobacionFoto& comprobacion = c.Foto.Comprobacion;
  if (json) {
    // Here a file is either missing or differing, never both.
    TObjetoJson objeto;
    objeto.Ascii("event", "verify").Ascii("time", FechaHoraIso(platform::Now()));
    CamposUnidad(objeto, c.Rec);
    objeto.Ascii("result", resultado)
        .Entero("files", comprobacion.Archivos)
        .Entero("bytes_verified", comprobacion.Pos)
        .Entero("bytes_to_verify", comprobacion.Fin)
        .Json("missing", FallidosJson(comprobacion.Fallidos,
                                      [](TFalla falla) { return falla == TFalla::Falta; }))
        .Json("differing", FallidosJson(comprobacion.Fallidos,
                                        [](TFalla falla) { return falla != TFalla::Falta; }))
        .Json("error", ErrorJson(c.Foto.LEC));
    EscribirLinea(objeto.Texto());
    return;
  }
  const std::string quien = NombreUnidad(c.Rec) + ": ";
  if (resultado == "verified") {
    EscribirLinea(quien + "verificado, " + std::to_string(comprobacion.Archivos) +
                  " archivos, " + platform::ToUtf8(TallaStr(comprobacion.Pos)));
  } else if (resultado == "removed") {
    EscribirLinea(quien + "quitado antes de terminar la verificación");
  } else if (resultado == "cancelled") {
    EscribirLinea(quien + "verificación cancelada");
  } else if (!comprobacion.Fallidos.empty()) {
    EscribirLinea(quien + std::to_string(comprobacion.Fallidos.size()) +
                  " archivos no coinciden con el manifiesto:");
    for (const TArchivoFallido& f : comprobacion.Fallidos) {
      EscribirLinea(std::string("  ") + FallaTexto(f.Falla) + ": " +
                    platform::ToUtf8(NombreConBarras(f.Nombre)));
    }
  } else {
    std::string linea = quien + "fallido " + platform::ToUtf8(TextoError(c.Foto.LEC));
    if (!c.Foto.Muestra.DNombre.empty()) {
      linea += " en " + platform::ToUtf8(NombreConBarras(c.Foto.Muestra.DNombre));
    }
    EscribirLinea(linea);
  }
}

bool MismoArchivo(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

int OrdenUnidades(const TArgumentos& argumentos) {
  TProgramaCli cli;
  TPrograma& P = cli.Programa();
  const auto unidades = P.Entorno->Env->CurrentDrives();
  std::vector<std::vector<std::string>> filas = {
      {"UNIDAD", "ETIQUETA", "SERIE", "TIPO", "TAMAÑO", "LIBRE", "SECTOR", "MONTAJE"}};
  for (const auto& hilo : P.DList) {
    const THRec rec = hilo->GetAppRec();
    std::u16string etiqueta;
    std::uint32_t serie = rec.ID;
    if (!unidades->GetVolumeInformation(rec.Montaje, &etiqueta, &serie)) etiqueta.clear();
    const std::uint32_t tipo = unidades->GetDriveType(rec.Montaje);
    std::int64_t libre = 0, total = 0;
    unidades->GetDiskFreeSpaceEx(rec.Montaje, &libre, &total);
    if (argumentos.Json) {
      EscribirLinea(TObjetoJson()
                        .Texto("letter", rec.Letra)
                        .Texto("label", etiqueta)
                        .Ascii("serial", SerieTexto(rec.ID))
                        .Nombre("mount", rec.Montaje)
                        .Ascii("type", TipoJson(tipo))
                        .Entero("size", total)
                        .Entero("free", libre)
                        .Entero("sector_size", rec.SectorSize)
                        .Logico("removable", tipo == platform::DRIVE_REMOVABLE)
                        .Texto());
    } else {
      filas.push_back({platform::ToUtf8(rec.Letra), platform::ToUtf8(etiqueta),
                       SerieTexto(rec.ID), TipoTexto(tipo), platform::ToUtf8(TallaStr(total)),
                       platform::ToUtf8(TallaStr(libre)), std::to_string(rec.SectorSize),
                       rec.Montaje});
    }
  }
  if (!argumentos.Json) {
    const std::string tabla = Tabla(filas);
    std::fwrite(tabla.data(), 1, tabla.size(), stdout);
    std::fflush(stdout);
  }
  return Salir(cli, kSalidaBien);
}

int OrdenCopiar(const TArgumentos& argumentos, TSenales& senales) {
  TProgramaCli cli;
  TPrograma& P = cli.Programa();
  ElegirVerificacion(argumentos, P);
  std::string error;
  TEntradas entradas;
  if (!LeerEntradas(argumentos.Operandos, P.DList, &entradas, &error)) {
    Avisar(error);
    return Salir(cli, kSalidaUso);
  }
  const std::vector<std::string> especificaciones = DestinosPedidos(argumentos);
  std::vector<std::shared_ptr<TDHilo>> destinos;
  if (!ElegirDestinos(especificaciones, P.DList, entradas.Origen.get(),
                      *P.Entorno->Env->CurrentDrives(), &destinos, &error)) {
    Avisar(error);
    return Salir(cli, kSalidaUso);
  }

  const std::unique_ptr<TInforme> informe = ElegirInforme(argumentos.Json, stdout);
  TCorrida corrida(cli, *informe, senales, argumentos.Expulsar);
  cli.Seleccionar(destinos);
  P.WMDropFiles(entradas.Rutas);
  if (P.OCopia != entradas.Origen) {
    Avisar(Mensaje(cli, "el programa no tomó " + entradas.Origen->GetAppRec().Montaje +
                            " como origen"));
    return Salir(cli, kSalidaUso);
  }
  const int estado = corrida.Seguir(entradas.Origen, destinos);
  return Salir(cli, estado, corrida.ExpulsionPendiente());
}

int OrdenListar(const TArgumentos& argumentos) {
  TProgramaCli cli;
  TPrograma& P = cli.Programa();
  std::string error;
  std::vector<std::shared_ptr<TDHilo>> destinos;
  if (!ElegirDestinos(argumentos.Destinos, P.DList, nullptr, *P.Entorno->Env->CurrentDrives(),
                      &destinos, &error)) {
    Avisar(error);
    return Salir(cli, kSalidaUso);
  }
  // A listing is written when its file is new or other than it was.
  std::vector<std::pair<bool, struct stat>> antes;
  for (const auto& hilo : destinos) {
    struct stat datos {};
    const bool habia = stat(RutaListado(hilo->GetAppRec().Montaje).c_str(), &datos) == 0;
    antes.emplace_back(habia, datos);
  }
  cli.Seleccionar(destinos);
  P.ToolButtonListarClick();
  int estado = kSalidaBien;
  for (std::size_t i = 0; i < destinos.size(); ++i) {
    const THRec rec = destinos[i]->GetAppRec();
    const std::string ruta = RutaListado(rec.Montaje);
    struct stat despues {};
    const bool escrito = stat(ruta.c_str(), &despues) == 0 &&
                         (!antes[i].first || !MismoArchivo(antes[i].second, despues));
    if (!escrito) estado = kSalidaFallo;
    if (argumentos.Json) {
      TObjetoJson objeto;
      objeto.Ascii("event", "listing");
      CamposUnidad(objeto, rec);
      EscribirLinea(objeto.Logico("ok", escrito).Nombre("file", ruta).Texto());
    } else if (escrito) {
      EscribirLinea(NombreUnidad(rec) + ": listado escrito en " + ruta);
    }
    if (!escrito) Avisar(NombreUnidad(rec) + ": no se pudo escribir el listado " + ruta);
  }
  return Salir(cli, estado);
}

int OrdenAbrir(const TArgumentos& argumentos, TSenales& senales) {
  TProgramaCli cli;
  TPrograma& P = cli.Programa();
  ElegirVerificacion(argumentos, P);
  const std::string ruta = RutaAbsoluta(argumentos.Operandos[0]);
  struct stat datos;
  if (stat(ruta.c_str(), &datos) != 0 || !S_ISREG(datos.st_mode) || access(ruta.c_str(), R_OK)) {
    Avisar(argumentos.Operandos[0] + ": no es un archivo que se pueda leer");
    return Salir(cli, kSalidaUso);
  }
  const std::unique_ptr<TInforme> informe = ElegirInforme(argumentos.Json, stdout);
  TCorrida corrida(cli, *informe, senales, argumentos.Expulsar);
  // The destinations are those the queued records name. The workers are held still meanwhile,
  // so that the source, whichever it turns out to be, plans none of them before they are read.
  std::set<TIdDestino> nombrados;
  {
    std::vector<std::unique_ptr<TSuspension>> quietos;
    for (const auto& hilo : P.DList) quietos.push_back(std::make_unique<TSuspension>(*hilo));
    const auto limite = std::chrono::steady_clock::now() + cli.LimiteCierre();
    for (const auto& hilo : P.DList) {
      while (!hilo->Detenido() && std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    P.AbrirLista(ruta);
    if (P.OCopia) {
      TColaBloqueada cola(*P.OCopia);
      for (const auto& rec : *cola) nombrados.insert(rec->DList.begin(), rec->DList.end());
    }
  }
  if (!P.OCopia) {
    Avisar(Mensaje(cli, argumentos.Operandos[0] +
                            ": no es una lista de copia, o su volumen de origen no está"));
    return Salir(cli, kSalidaUso);
  }
  std::vector<std::shared_ptr<TDHilo>> destinos;
  for (const auto& hilo : P.DList) {
    if (hilo != P.OCopia && nombrados.count(hilo->GetId()) != 0) destinos.push_back(hilo);
  }
  if (destinos.empty()) {
    Avisar(argumentos.Operandos[0] +
           ": la lista no tiene nada que copiar a los volúmenes conectados");
    return Salir(cli, kSalidaUso);
  }
  const int estado = corrida.Seguir(P.OCopia, destinos);
  return Salir(cli, estado, corrida.ExpulsionPendiente());
}

int OrdenVerificar(const TArgumentos& argumentos, TSenales& senales) {
  TProgramaCli cli;
  TPrograma& P = cli.Programa();
  std::string error;
  const std::vector<std::string> especificaciones = DestinosPedidos(argumentos);
  std::vector<std::shared_ptr<TDHilo>> elegidos;
  if (!ElegirDestinos(especificaciones, P.DList, nullptr, *P.Entorno->Env->CurrentDrives(),
                      &elegidos, &error)) {
    Avisar(error);
    return Salir(cli, kSalidaUso);
  }
  TFinComprobaciones finales(P.Entorno->Eventos);
  const std::vector<std::shared_ptr<TDHilo>> empezados = P.ComprobarUnidades(elegidos);
  // A stick that could not be checked (no manifest, a broken one, busy) fails the command.
  int estado = P.Avisos.empty() ? kSalidaBien : kSalidaFallo;
  for (const std::u16string& aviso : P.Avisos) Avisar(platform::ToUtf8(aviso));
  P.Avisos.clear();
  std::vector<TComprobado> comprobados;
  for (const auto& hilo : empezados) comprobados.push_back({hilo, hilo->GetAppRec(), {}, false});
  const int senal = SeguirComprobaciones(cli, senales, finales, comprobados);
  for (const TComprobado& c : comprobados) {
    InformarComprobacion(c, argumentos.Json);
    if (std::string(ResultadoComprobacion(c)) != "verified") estado = kSalidaFallo;
  }
  if (senal != 0) estado = EstadoPorSenal(senal);
  return Salir(cli, estado);
}

#include "app/InformeTrabajos.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/FechaIso.h"
#include "app/Json.h"
#include "app/UnidadJson.h"
#include "platform/eintr.h"
#include "platform/locale.h"

namespace {

std::string Numero(double valor) {
  if (valor < 0) return "";
  char texto[32];
  std::snprintf(texto, sizeof texto, "%.1f", valor);
  return texto;
}

double MBs(const TRegistroTrabajo& r) {
  return r.SegundosHecho > 0 ? static_cast<double>(r.Bytes) / 1e6 / r.SegundosHecho : -1;
}

// A CSV field: quoted, with quotes doubled, whenever it holds a separator, a quote or a break.
std::string Campo(const std::string& texto) {
  if (texto.find_first_of(",\"\r\n") == std::string::npos) return texto;
  std::string campo = "\"";
  for (char c : texto) {
    if (c == '"') campo += '"';
    campo += c;
  }
  return campo + "\"";
}

// Appends a line to a file of ours, never through a link, readable by its owner only.
void Anadir(const std::string& ruta, const std::string& linea) {
  const int fd = platform::RetryOnEintr([&] {
    return ::open(ruta.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  });
  if (fd < 0) return;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    platform::RetryOnEintr([&] { return ::write(fd, linea.data(), linea.size()); });
  }
  ::close(fd);
}

}  // namespace

std::string LineaCsv(const TRegistroTrabajo& r) {
  std::string fallidos;
  for (const std::u16string& nombre : r.Fallidos) {
    if (!fallidos.empty()) fallidos += ';';
    fallidos += platform::ToUtf8(NombreConBarras(nombre));
  }
  return FechaHoraIso(r.Hora) + "," + Campo(platform::ToUtf8(r.Etiqueta)) + "," +
         SerieTexto(r.Serie) + "," + std::to_string(r.Archivos) + "," + std::to_string(r.Bytes) +
         "," + Numero(r.SegundosHecho) + "," + Numero(r.SegundosVerificado) + "," +
         Numero(MBs(r)) + "," + r.Resultado + "," + (r.Error ? std::to_string(r.Error) : "") +
         "," + Campo(fallidos) + "\n";
}

std::string LineaJson(const TRegistroTrabajo& r) {
  std::string fallidos = "[";
  for (const std::u16string& nombre : r.Fallidos) {
    if (fallidos.size() > 1) fallidos.push_back(',');
    fallidos += JsonTexto(NombreConBarras(nombre));
  }
  fallidos.push_back(']');
  TObjetoJson objeto;
  objeto.Ascii("time", FechaHoraIso(r.Hora))
      .Texto("label", r.Etiqueta)
      .Ascii("serial", SerieTexto(r.Serie))
      .Entero("files", r.Archivos)
      .Entero("bytes", r.Bytes);
  const auto segundos = [&](const char* nombre, double valor) {
    if (valor < 0) {
      objeto.Nulo(nombre);
    } else {
      objeto.Json(nombre, Numero(valor));
    }
  };
  segundos("seconds_done", r.SegundosHecho);
  segundos("seconds_verified", r.SegundosVerificado);
  segundos("mb_s", MBs(r));
  objeto.Ascii("result", r.Resultado).Json("error", ErrorJson(r.Error)).Json("differing", fallidos);
  return objeto.Texto() + "\n";
}

std::string CarpetaInformes(const char* xdg_data_home, const char* home) {
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
    return (std::filesystem::path(xdg_data_home) / "orsanta").string();
  }
  if (home != nullptr && home[0] != 0) {
    return (std::filesystem::path(home) / ".local/share/orsanta").string();
  }
  return {};
}

void TInformeTrabajos::Observar(TIdDestino id, const TInstantanea& foto, double segundos,
                                double ahora) {
  TSeguimiento& s = seguimientos_[id];
  const TEstado estado = foto.Estado;
  const bool activo = estado == TEstado::EnCola || estado == TEstado::Escribiendo ||
                      estado == TEstado::Sincronizando || estado == TEstado::Verificando;
  if (!s.EnCurso) {
    if (!activo) return;
    s = {true, segundos, -1, foto.DPos};
  }
  if (s.Hecho < 0 && (estado == TEstado::Verificando || estado == TEstado::Terminado)) {
    s.Hecho = segundos - s.Inicio;
  }
  if (activo || estado == TEstado::Reposo) return;
  TRegistroTrabajo registro;
  registro.Hora = ahora;
  registro.Etiqueta = foto.HRec.Nombre;
  registro.Serie = foto.HRec.ID;
  registro.Archivos = foto.Comprobacion.Archivos;
  registro.Bytes = foto.DPos - s.PosInicio;
  registro.SegundosHecho = s.Hecho;
  if (estado == TEstado::Terminado) {
    registro.Resultado = foto.Comprobacion.Verificado ? "verified" : "done";
    if (foto.Comprobacion.Verificado) registro.SegundosVerificado = segundos - s.Inicio;
  } else {
    registro.Resultado = estado == TEstado::Quitado ? "removed" : "failed";
    registro.Error = foto.LEC;
    for (const TArchivoFallido& fallido : foto.Comprobacion.Fallidos) {
      registro.Fallidos.push_back(fallido.Nombre);
    }
  }
  s = {};
  Escribir(registro);
}

void TInformeTrabajos::Escribir(const TRegistroTrabajo& registro) const {
  if (carpeta_.empty()) return;
  std::error_code error;
  if (std::filesystem::create_directories(carpeta_, error)) {
    std::filesystem::permissions(carpeta_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
  }
  const std::string csv = carpeta_ + "/informe.csv";
  if (!std::filesystem::exists(std::filesystem::symlink_status(csv, error))) {
    Anadir(csv, "time,label,serial,files,bytes,seconds_done,seconds_verified,mb_s,result,error,"
                "differing\n");
  }
  Anadir(csv, LineaCsv(registro));
  Anadir(carpeta_ + "/informe.jsonl", LineaJson(registro));
}

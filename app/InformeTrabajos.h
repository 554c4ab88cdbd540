// The job report: one record per stick and job, appended to a CSV file and a JSON-lines file in
// the user's data folder, so that a batch shipped to others can be accounted for afterwards:
// when, which stick, how much, how fast, and whether every byte was read back and matched.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/TDHilo.h"

struct TRegistroTrabajo {
  double Hora = 0;  // when the stick's job ended, as the program's clock gives it
  std::u16string Etiqueta;
  std::uint32_t Serie = 0;
  std::int64_t Archivos = 0;
  std::int64_t Bytes = 0;
  double SegundosHecho = -1;       // to every byte on the device; -1: never
  double SegundosVerificado = -1;  // to every file read back and matched; -1: never
  const char* Resultado = "";      // "verified", "done", "failed" or "removed"
  std::uint32_t Error = 0;
  std::vector<std::u16string> Fallidos;  // files that differed again after a copy made anew
};

// time,label,serial,files,bytes,seconds_done,seconds_verified,mb_s,result,error,differing
std::string LineaCsv(const TRegistroTrabajo& registro);
std::string LineaJson(const TRegistroTrabajo& registro);

// $XDG_DATA_HOME/orsanta, else ~/.local/share/orsanta; empty when neither is known.
std::string CarpetaInformes(const char* xdg_data_home, const char* home);

// Main thread. Follows each destination from the start of its job to its end and writes the
// record then.
class TInformeTrabajos {
 public:
  explicit TInformeTrabajos(std::string carpeta) : carpeta_(std::move(carpeta)) {}
  const std::string& Carpeta() const { return carpeta_; }

  // A destination's snapshot at `segundos` of a steady clock, and `ahora` of the program's.
  void Observar(TIdDestino id, const TInstantanea& foto, double segundos, double ahora);

 private:
  struct TSeguimiento {
    bool EnCurso = false;
    double Inicio = 0;
    double Hecho = -1;
    std::int64_t PosInicio = 0;
  };
  void Escribir(const TRegistroTrabajo& registro) const;

  std::string carpeta_;
  std::map<TIdDestino, TSeguimiento> seguimientos_;
};

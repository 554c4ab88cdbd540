// A row of the device list as the window shows it: the worker's snapshot with the figures of
// the job it is on now (not of everything since the program started), its state as a word and
// a colour, and the summary line of the whole job above the list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/TColores.h"
#include "engine/TDHilo.h"

struct TFila {
  TInstantanea Foto;
  // Bytes done and bytes to do of the worker's current job: DPos and DFin less what they were
  // when the job started on an idle worker.
  std::int64_t TrabajoPos = 0;
  std::int64_t TrabajoFin = 0;
  // The user stopped the copy (the stop button) and this worker is suspended.
  bool Detenido = false;

  // A row whose job is everything the worker has counted.
  static TFila De(const TInstantanea& foto) { return {foto, foto.DPos, foto.DFin, false}; }
};

// The engine's states and one of the window's own: a copy the user stopped.
enum class TEstadoFila : std::uint8_t {
  Reposo,
  EnCola,
  Escribiendo,
  Sincronizando,
  Verificando,
  Terminado,
  Fallido,
  Quitado,
  Detenido,
};
inline constexpr int kNumEstadosFila = 9;

TEstadoFila EstadoFila(const TFila& fila);
// The state as the row says it ("En cola", "Terminado: puede retirarse"); the source reads
// where a destination writes, and a destination whose job was read back says so when done.
std::u16string PalabraEstado(TEstadoFila estado, bool es_origen, bool verificado);
platform::Color ColorEstado(TEstadoFila estado);
// Whether the worker still has work of its job to do or to flush.
bool Activo(TEstadoFila estado);

// Percentage of the job done, 0 to 100, or of its read-back while verifying; -1 without a job.
int PorcentajeTrabajo(const TFila& fila);
// The first line of a row: name, letter and free space; with a job, its percentage and, while
// data moves, the speed and finish time, or the error of a failed drive. A stopped copy shows
// no speed.
std::u16string LineaFila(const TFila& fila);

// The job as a whole, over the destinations' rows (the source's own row is left out).
struct TResumen {
  int Memorias = 0;     // destinations with work in the job
  int Terminadas = 0;   // of them, every byte on the device
  int Fallidas = 0;     // of them, in error
  std::int64_t Quedan = 0;  // bytes left on the destination with the most left
  double Termina = 0;       // when the last one ends at its speed; 0: not known
  bool Detenida = false;    // the user stopped the copy
};
TResumen Resumir(const std::vector<TFila>& filas);
std::u16string TextoResumen(const TResumen& resumen);

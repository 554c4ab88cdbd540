// A worker that a copy run follows, the source or a destination: its identity at the start, its
// last snapshot and how it ended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/TDHilo.h"

enum class TResultado {
  EnCurso,     // not ended yet
  Terminado,   // every byte it was given is on the drive
  Fallido,     // in error
  Quitado,     // the drive went away
  Cancelado,   // cancelled by a signal before it was done
};

enum class TExpulsado { No, EnCurso, Si, Fallo };

struct TSeguido {
  std::shared_ptr<TDHilo> Hilo;
  bool EsOrigen = false;
  THRec Rec;           // the identity the last refresh gave it when the run began
  TInstantanea Foto;   // the last snapshot taken
  TResultado Resultado = TResultado::EnCurso;
  std::uint32_t Error = 0;     // the error it failed with
  std::u16string Archivo;      // the file it failed on, relative to its root
  TExpulsado Expulsado = TExpulsado::No;
  std::uint32_t ErrorExpulsion = 0;
  // Turns of the worker when the source was first seen with nothing left to hand out.
  std::uint64_t VueltasOrigenQuieto = 0;
};

// "done", "failed", "removed", "cancelled", "unfinished".
const char* ResultadoJson(TResultado resultado);
// "terminado", "fallido", "quitado", "cancelado", "sin terminar".
std::u16string ResultadoTexto(TResultado resultado);
// "UNO (E)": how the terminal names a drive.
std::string NombreUnidad(const THRec& rec);

// One timed copy of the dropped entries to every stick of the farm: what every tool's run shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/granja_leida.h"
#include "bench/medidor.h"
#include "bench/resultado.h"

struct TCorrida {
  const TGranja& Granja;
  const TMedidor& Medidor;
  std::vector<std::string> Rutas;  // the entries to copy, full paths on the source volume
  double Limite = 0;               // s a stick may take before the run gives up on it
  std::string Csv;                 // the timeline's file; empty: none
};

// The counters when a run starts.
struct TInicio {
  std::vector<TContadores> Palos;
  std::int64_t LeidosOrigen = 0;  // bytes the source's device had read
};

// Every stick emptied and synced and the page cache dropped, so that each run starts alike.
// Returns the counters then.
TInicio PrepararPalos(const TCorrida& c);

// Runs `trabajo(i)` for every stick i on a thread of its own and waits for all of them; what a
// thread throws becomes a line of r.Fallos, and the threads' CPU time goes to r.CpuArnes.
void PorPalo(const TCorrida& c, const std::function<void(std::size_t)>& trabajo, TResultado& r);

// Each stick synced once more and what is on it since the start kept in AlFinal, and what the
// source's device read since then in r.LeidosOrigen; r.Segundos becomes the time of the last
// stick's own sync.
void CerrarPalos(const TCorrida& c, const TInicio& inicio, TResultado& r);

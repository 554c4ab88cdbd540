// One timed copy of the dropped entries to every stick of the farm: what every tool's run shares.
#pragma once

#include <cstddef>
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

// Every stick emptied and synced and the page cache dropped, so that each run starts alike.
// Returns each stick's counters then.
std::vector<TContadores> PrepararPalos(const TCorrida& c);

// Runs `trabajo(i)` for every stick i on a thread of its own and waits for all of them; what a
// thread throws becomes a line of r.Fallos, and the threads' CPU time goes to r.CpuArnes.
void PorPalo(const TCorrida& c, const std::function<void(std::size_t)>& trabajo, TResultado& r);

// Each stick synced once more and what is on it since `base` kept in AlFinal; r.Segundos becomes
// the time of the last stick's own sync.
void CerrarPalos(const TCorrida& c, const std::vector<TContadores>& base, TResultado& r);

// The end of one stick's copy, the same for every tool: what was on the stick at the moment the
// tool reported it done, then the stick's sync and its time.
#pragma once

#include <cstddef>

#include "bench/medidor.h"
#include "bench/resultado.h"

// `base`: the stick's counters at the start, `t0` the start. Throws what the sync throws.
void TerminarPalo(const TMedidor& medidor, const TGranja& granja, std::size_t palo,
                  const TContadores& base, double t0, TFinPalo& fin);

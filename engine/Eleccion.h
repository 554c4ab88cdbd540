// The source's choice of the next record and the split of destinations that lag behind, weighed
// in block-buffer bytes queued on each destination (its backlog) against a memory budget.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "engine/TEntorno.h"
#include "records/TFRec.h"

// Half of what the engine may use: (MemoriaTotal - MemoriaLibre), shifted as an unsigned value,
// so that a machine with less memory than MemoriaLibre gets a budget no backlog reaches.
std::int64_t Presupuesto(const TEntorno& entorno);

// A destination's backlog: block-buffer bytes queued on it and not started (0 for one gone).
using TAtraso = std::function<std::int64_t(TIdDestino)>;

// The lowest position whose first destination's backlog is below B; 0 when none is.
std::size_t ElegirPosicion(const std::deque<std::unique_ptr<TFRec>>& registros, std::int64_t B,
                           const TAtraso& atraso);

// Takes out of R, into a new record, the destinations after the first that are further behind
// the reference backlog than B or than R's size; nullptr when none is. The new record lists
// them in the reverse of their order in R.
std::unique_ptr<TFRec> SepararRezagados(TFRec& R, std::int64_t B, const TAtraso& atraso);

// The copy driven the way a user drives Orsanta, without widgets: start-up over the real mount
// table, the sticks' rows selected by label, one drop of the entries from the source, and each
// stick done when its worker says so (written, synced and, with the read-back on, read back and
// matched), then synced once more by the benchmark.
#pragma once

#include <cstdint>

#include "bench/corrida.h"
#include "bench/resultado.h"

// How MemoriaLibre is set: once, at MemAvailable less `presupuesto` bytes when that is not
// negative, else to `memoria_libre` bytes when that is not negative, else
// the program's default.
struct TMemoria {
  std::int64_t presupuesto = -1;
  std::int64_t memoria_libre = -1;
};

// `clientes_lentos`: that many clients trickle requests to the status page throughout (none: the
// page is not served). `verificar`: the read-back's setting for the run.
TResultado CopiarConOrsanta(const TCorrida& c, const TMemoria& memoria, int clientes_lentos,
                            bool verificar);

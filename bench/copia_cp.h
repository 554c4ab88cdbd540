// The reference: `cp -a` of the same entries to every stick at once, one process per stick,
// each stick synced as soon as its cp exits.
#pragma once

#include "bench/corrida.h"
#include "bench/resultado.h"

TResultado CopiarConCp(const TCorrida& c);

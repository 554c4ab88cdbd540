// The benchmark's report: the farm and data, each tool's figures side by side, each target with
// its measured value, and every stick's own times.
#pragma once

#include <ostream>
#include <vector>

#include "bench/granja_leida.h"
#include "bench/resultado.h"
#include "bench/verificacion.h"

void Informar(std::ostream& out, const TGranja& granja, const TManifiesto& datos,
              const std::vector<TResultado>& resultados);

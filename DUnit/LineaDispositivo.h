// The line that heads a worker's item in the device list and makes its line of the status page.
#pragma once

#include <cstdint>
#include <string>

#include "DUnit/TDHilo.h"

// Name, letter and free space; with work to do (fin not 0), then the percentage done and the
// speed text.
std::u16string LineaDispositivo(const THRec& hrec, const std::u16string& capacidad,
                                std::int64_t pos, std::int64_t fin,
                                const std::u16string& velocidad);

// The destinations named with --to. A SPEC is a volume label (every volume that has it), a
// serial (8 hexadecimal digits, "0A1B2C3D" or "0A1B-2C3D", any case), a mount point (a path
// that starts with "/"), or "removable": every removable volume but the source and the system
// volume (the one mounted at "/").
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/TDHilo.h"
#include "platform/drives.h"

// The workers of `lista` the SPECs name, each once, in the order of the list. False with the
// message for the user when a SPEC names no volume, or names the source.
bool ElegirDestinos(const std::vector<std::string>& especificaciones,
                    const std::vector<std::shared_ptr<TDHilo>>& lista, const TDHilo* origen,
                    platform::Drives& unidades, std::vector<std::shared_ptr<TDHilo>>* destinos,
                    std::string* error);

// The serial a SPEC writes, when it writes one.
bool LeerSerie(const std::string& especificacion, std::uint32_t* serie);

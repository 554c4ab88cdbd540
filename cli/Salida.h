// The exit status of a command and the report of failed destinations on standard error.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Seguido.h"

inline constexpr int kSalidaBien = 0;   // every destination done
inline constexpr int kSalidaFallo = 1;  // one failed, was removed, or could not be ejected
inline constexpr int kSalidaUso = 2;    // bad usage or bad input; nothing written

// The status of a copy run: by the signal that cancelled it (128 + its number), else 1 when a
// destination did not end done, or an eject asked for failed, else 0. `origen_perdido`: the
// source went away, which fails the run whatever the destinations did.
int EstadoCopia(const std::vector<TSeguido>& destinos, int senal, bool origen_perdido);

// One line per destination that failed, was removed or could not be ejected: its name, letter,
// serial and mount point, what happened and the error's text.
void InformarFallos(std::FILE* salida, const std::vector<TSeguido>& destinos);

// "orsanta-cli: texto\n" on standard error.
void Avisar(const std::string& texto);

// The look-up of a worker by volume serial, the key by which copy lists name their drives.
#pragma once

#include <cstdint>
#include <vector>

class TDHilo;

// Bisection in a list sorted by the serial of the last refresh (GetAppRec().ID), ascending as
// unsigned numbers. Of several workers with one serial, the first in the list; nullptr when
// none has it.
TDHilo* BuscarPorID(const std::vector<TDHilo*>& lista_ordenada, std::uint32_t serial);

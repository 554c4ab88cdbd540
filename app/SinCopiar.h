// What a stick was left without when its work ended before the job did (a cancel, the stick
// pulled): the entries handed to it in this run that it does not hold whole now. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/RaicesDestinos.h"
#include "app/TEncargos.h"

// "no quedaba nada por copiar." or "3 entradas sin copiar: a, b, c.": counted, and the first
// of them named.
std::u16string SinCopiar(const TEncargos& encargos, const TRaicesDestinos& raices,
                         std::uint32_t serie);
// A job ended on the stick `serie`: what it holds now leaves the ledger, so that what a later
// cancel or pull names, even of a stick that cannot be looked at, is that later work only.
void OlvidarHechos(TEncargos& encargos, const TRaicesDestinos& raices, std::uint32_t serie);

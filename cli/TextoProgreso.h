// The texts the terminal and the plain lines show of a followed worker (UTF-8).
#pragma once

#include <string>

#include "cli/Seguido.h"

// The share of its work done, 0 to 100; 100 for a destination done with nothing to do.
int Porcentaje(const TSeguido& seguido);
// "[#######.............]": `ancho` cells between the brackets.
std::string Barra(int porcentaje, int ancho);
// "12.00 Mb/Seg. Termina 10:15:30" while it moves, else empty.
std::string TextoRitmo(const TSeguido& seguido);
// The state, or how it ended, with the error and the eject: "escribiendo", "fallido (No hay
// espacio suficiente en el disco)", "terminado, expulsado".
std::string TextoSituacion(const TSeguido& seguido);

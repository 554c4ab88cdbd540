// The texts every front end shows of a worker, made from its snapshot: the free space or the
// shortfall, the speed and finish time or the error, the size and progress of the file under
// way, and the line that heads a worker's item in the device list and its status page line.
#pragma once

#include <string>

#include "engine/TDHilo.h"

// " Libre " or " Faltan " and a size; empty before the worker has counted any work.
std::u16string TextoCapacidad(const TCapacidad& capacidad);
// The error text while in error; else the speed and finish time, or empty when nothing moved.
std::u16string TextoVelocidad(const TVelocidad& velocidad);
// " 12.00 Mb" or " 12.00 Mb 50%"; empty for a folder or an empty file.
std::u16string TextoFStr(const TFStr& fstr);

// Name, letter and free space; with work to do (DFin not 0), then the percentage done and the
// speed text.
std::u16string LineaDispositivo(const TInstantanea& foto);

// The item of one worker in the device list: name, letter and free space with the overall bar
// above, the current file with its own bar below.
#pragma once

#include "app/TColores.h"
#include "engine/TDHilo.h"
#include "platform/canvas.h"

// Paints from the snapshot alone; the canvas comes with the item's background and font colour.
void PintarDispositivo(const TInstantanea& foto, const TColores& colores,
                       platform::Canvas& canvas, const platform::Rect& R);

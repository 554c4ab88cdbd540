// The item of one worker in the device list: name, letter, free space, the job's percentage and
// speed with the job's bar above; the current file with its own bar below and, at its right,
// the worker's state as a word on its colour. Every text keeps a contrast of at least 4.5:1
// against what lies behind it: over a bar and beside it each part of a text takes its own colour.
#pragma once

#include "app/FilaDispositivo.h"
#include "app/TColores.h"
#include "platform/canvas.h"

// Paints from the row alone; the canvas comes with the item's background as its brush and the
// preferred text colour as its font colour.
void PintarDispositivo(const TFila& fila, const TColores& colores, platform::Canvas& canvas,
                       const platform::Rect& R);
inline void PintarDispositivo(const TInstantanea& foto, const TColores& colores,
                              platform::Canvas& canvas, const platform::Rect& R) {
  PintarDispositivo(TFila::De(foto), colores, canvas, R);
}

// The state's tag at the right of the lower half: its rectangle within R.
platform::Rect EtiquetaEstado(const TFila& fila, platform::Canvas& canvas, const platform::Rect& R);

// The width an item needs to show a normal row whole: a drive with a long name writing at full
// speed, and a tag with the longest state word beside a short path.
int AnchoFilaNormal(platform::Canvas& canvas);

// Text at (x, y) whose part left of `corte` lies on `izquierda` and the rest on `derecha`:
// each part in `preferida` where that keeps the contrast, else in black or white.
void TextoSobreBarra(platform::Canvas& canvas, int x, int y, const std::u16string& texto,
                     const platform::Rect& zona, int corte, platform::Color izquierda,
                     platform::Color derecha, platform::Color preferida);

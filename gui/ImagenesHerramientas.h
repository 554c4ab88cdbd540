// The thirteen toolbar images, 32 x 32, drawn in code. The index is a button's ImageIndex:
// 0 stop, 1 continue, 2 open, 3 save, 4 prioritise, 5 cancel, 6 refresh, 7 add mode,
// 8 delete mode, 9 create listing, 10 settings, 11 progress, 12 verify.
#pragma once

#include <QPixmap>

inline constexpr int kNumImagenes = 13;
inline constexpr int kTallaImagen = 32;

// Any index outside 0..kNumImagenes-1 gives a transparent image.
QPixmap ImagenHerramienta(int index);

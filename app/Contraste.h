// Legible text on any colour: the contrast ratio of two colours as the web's accessibility
// guidelines define it (relative luminance of sRGB), and the choice of a text colour that keeps
// at least 4.5:1 against what is behind it, whatever colours the settings give the bars.
#pragma once

#include "platform/canvas.h"

// The contrast the row texts keep at least.
inline constexpr double kContrasteMinimo = 4.5;

// Relative luminance, 0 (black) to 1 (white).
double Luminancia(platform::Color color);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double Contraste(platform::Color a, platform::Color b);
// `preferida` when it keeps kContrasteMinimo against `fondo`; otherwise black or white, whichever
// contrasts more (one of them always keeps more than 4.58:1).
platform::Color LetraLegible(platform::Color fondo, platform::Color preferida);

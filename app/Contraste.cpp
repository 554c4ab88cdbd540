#include "app/Contraste.h"

#include <algorithm>
#include <cmath>

namespace {

double Lineal(unsigned canal) {
  const double c = canal / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double Luminancia(platform::Color color) {
  return 0.2126 * Lineal(color & 0xFF) + 0.7152 * Lineal((color >> 8) & 0xFF) +
         0.0722 * Lineal((color >> 16) & 0xFF);
}

double Contraste(platform::Color a, platform::Color b) {
  const double la = Luminancia(a), lb = Luminancia(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

platform::Color LetraLegible(platform::Color fondo, platform::Color preferida) {
  if (Contraste(fondo, preferida) >= kContrasteMinimo) return preferida;
  constexpr platform::Color negro = platform::Rgb(0, 0, 0);
  constexpr platform::Color blanco = platform::Rgb(255, 255, 255);
  return Contraste(fondo, negro) >= Contraste(fondo, blanco) ? negro : blanco;
}

#include "app/FechaIso.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr double kDiasHastaEpoca = 25569;  // 30 December 1899 to 1 January 1970

// The local time's fields (read as if they were UTC) and the seconds they stand for.
bool Campos(double fecha_hora, std::time_t* segundos_locales, std::tm* campos) {
  const double segundos = std::round((fecha_hora - kDiasHastaEpoca) * 86400.0);
  if (!std::isfinite(segundos) || std::fabs(segundos) > 1e12) return false;
  *segundos_locales = static_cast<std::time_t>(segundos);
  return gmtime_r(segundos_locales, campos) != nullptr;
}

}  // namespace

std::string FechaHoraIso(double fecha_hora) {
  std::time_t locales;
  std::tm campos;
  if (!Campos(fecha_hora, &locales, &campos)) return {};
  // The offset in force at that moment: the one of a moment a guessed offset away, checked once
  // more for a time near a change of offset.
  std::tm local;
  long desplazamiento = 0;
  for (int vuelta = 0; vuelta < 2; ++vuelta) {
    const std::time_t utc = locales - desplazamiento;
    if (localtime_r(&utc, &local) == nullptr) return {};
    desplazamiento = local.tm_gmtoff;
  }
  const long minutos = std::labs(desplazamiento) / 60;
  char texto[64];
  std::snprintf(texto, sizeof texto, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                campos.tm_year + 1900, campos.tm_mon + 1, campos.tm_mday, campos.tm_hour,
                campos.tm_min, campos.tm_sec, desplazamiento < 0 ? '-' : '+', minutos / 60,
                minutos % 60);
  return texto;
}

std::string FechaIso(double fecha) {
  std::time_t locales;
  std::tm campos;
  if (!Campos(std::floor(fecha), &locales, &campos)) return {};
  char texto[32];
  std::snprintf(texto, sizeof texto, "%04d-%02d-%02d", campos.tm_year + 1900, campos.tm_mon + 1,
                campos.tm_mday);
  return texto;
}

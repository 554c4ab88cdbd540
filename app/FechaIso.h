// Dates and times for machines: ISO 8601, whatever the user's locale. The program's dates are
// day counts since 30 December 1899 in local time, with the time of day as the fraction
// (platform/locale.h).
#pragma once

#include <string>

// "2024-05-01T10:15:30+02:00": the local time to the second, with its offset from UTC.
std::string FechaHoraIso(double fecha_hora);
// "2016-08-06".
std::string FechaIso(double fecha);

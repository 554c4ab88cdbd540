// Byte counts as the user sees them: two decimals in the user's number format and the unit
// "Byte", "Kb", "Mb", "Gb" or "Tb".
#pragma once

#include <cstdint>
#include <string>

std::u16string TallaStr(std::int64_t V);

// A whole number in plain decimal digits, as percentages are shown.
std::u16string EnteroStr(std::int64_t V);

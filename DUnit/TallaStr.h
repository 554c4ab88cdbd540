// Byte counts as the user sees them: two decimals in the user's number format and the unit
// "Byte", "Kb", "Mb", "Gb" or "Tb".
#pragma once

#include <cstdint>
#include <string>

std::u16string TallaStr(std::int64_t V);

// A worker's error as the user sees it.
#pragma once

#include <cstdint>
#include <string>

// The system's message text for code, without its trailing blanks, control characters and full
// stops, in parentheses.
std::u16string TextoError(std::uint32_t code);

// A worker's error as the user sees it.
#pragma once

#include <cstdint>
#include <string>

// The system's message text for code, without its trailing blanks, control characters and full
// stops.
std::u16string MensajeError(std::uint32_t code);
// The same in parentheses, as the rows and the status page show it.
std::u16string TextoError(std::uint32_t code);

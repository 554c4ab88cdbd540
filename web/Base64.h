// Base64 of RFC 4648: the standard alphabet, "=" padding, no line breaks.
#pragma once

#include <string>

std::u16string Base64(const std::string& bytes);

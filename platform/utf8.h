// UTF-8 coding steps shared by names (paths.cpp) and texts (utf8.cpp). Internal to platform/.
#pragma once

#include <string>

namespace platform {

// Length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when the byte there
// does not start one. Valid means Unicode table 3-7: no overlong forms, no surrogates, nothing
// above U+10FFFF, no truncated sequence.
std::size_t DecodeUtf8At(const std::string& bytes, std::size_t i, char32_t* code_point);

// Appends the UTF-8 form of a code point (U+0000..U+10FFFF).
void AppendUtf8(char32_t code_point, std::string* out);

// Appends a code point to UTF-16 text (a surrogate pair above U+FFFF).
void AppendUtf16(char32_t code_point, std::u16string* out);

inline bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline char32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
}

}  // namespace platform

// UTF-8 coding steps, and the text conversions of locale.h. Texts (unlike names) replace what
// cannot be converted by U+FFFD.
#include "platform/utf8.h"

#include "platform/locale.h"

namespace platform {

std::size_t DecodeUtf8At(const std::string& bytes, std::size_t i, char32_t* code_point) {
  const auto at = [&](std::size_t k) -> unsigned char {
    return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0;
  };
  const unsigned char c = at(0);
  if (c < 0x80) {
    *code_point = c;
    return 1;
  }
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // overlong
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;   // overlong
    if (c == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > bytes.size() || at(1) < low || at(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if ((at(k) & 0xC0) != 0x80) return 0;
  char32_t value = c & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (at(k) & 0x3F);
  *code_point = value;
  return length;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(char32_t cp, std::u16string* out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(cp));
  }
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(CombineSurrogates(u, text[i + 1]), &out);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendUtf8(0xFFFD, &out);
    } else {
      AppendUtf8(u, &out);
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t cp;
    const std::size_t length = DecodeUtf8At(text, i, &cp);
    AppendUtf16(length ? cp : 0xFFFD, &out);
    i += length ? length : 1;
  }
  return out;
}

}  // namespace platform

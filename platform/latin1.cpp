#include "platform/latin1.h"

#include "platform/utf8.h"

namespace platform {

std::string ToLatin1(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u <= 0xFF) {
      bytes.push_back(static_cast<char>(u));
      continue;
    }
    if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
    bytes.push_back('?');
  }
  return bytes;
}

}  // namespace platform

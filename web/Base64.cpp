#include "web/Base64.h"

#include <cstdint>

namespace {

constexpr char16_t kAlfabeto[] =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::u16string Base64(const std::string& bytes) {
  std::u16string texto;
  texto.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t resto = bytes.size() - i;
    std::uint32_t grupo = static_cast<unsigned char>(bytes[i]) << 16;
    if (resto > 1) grupo |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (resto > 2) grupo |= static_cast<unsigned char>(bytes[i + 2]);
    texto.push_back(kAlfabeto[grupo >> 18]);
    texto.push_back(kAlfabeto[(grupo >> 12) & 63]);
    texto.push_back(resto > 1 ? kAlfabeto[(grupo >> 6) & 63] : u'=');
    texto.push_back(resto > 2 ? kAlfabeto[grupo & 63] : u'=');
  }
  return texto;
}

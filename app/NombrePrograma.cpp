#include "app/TPrograma.h"

std::u16string NombrePrograma() {
  // Kept as character codes so that the name is assembled when the program runs.
  static const char16_t kCodigos[] = {79, 114, 115, 97, 110, 116, 97};
  return std::u16string(std::begin(kCodigos), std::end(kCodigos));
}

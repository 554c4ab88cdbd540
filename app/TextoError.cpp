#include "app/TextoError.h"

#include "platform/errors.h"

std::u16string MensajeError(std::uint32_t code) {
  std::u16string text = platform::MensajeSistema(code);
  while (!text.empty() && (text.back() <= 32 || text.back() == u'.')) text.pop_back();
  return text;
}

std::u16string TextoError(std::uint32_t code) { return u"(" + MensajeError(code) + u")"; }

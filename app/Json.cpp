#include "app/Json.h"

#include "platform/paths.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

void Escape(std::string& salida, char16_t unidad) {
  salida += "\\u";
  for (int desplazamiento = 12; desplazamiento >= 0; desplazamiento -= 4) {
    salida.push_back(kHex[(unidad >> desplazamiento) & 0xF]);
  }
}

void Utf8(std::string& salida, char32_t c) {
  if (c < 0x80) {
    salida.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    salida.push_back(static_cast<char>(0xC0 | (c >> 6)));
    salida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    salida.push_back(static_cast<char>(0xE0 | (c >> 12)));
    salida.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    salida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    salida.push_back(static_cast<char>(0xF0 | (c >> 18)));
    salida.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    salida.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    salida.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool Alta(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool Baja(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string JsonTexto(std::u16string_view texto) {
  std::string salida;
  salida.reserve(texto.size() + 2);
  salida.push_back('"');
  for (std::size_t i = 0; i < texto.size(); ++i) {
    const char16_t c = texto[i];
    switch (c) {
      case u'"':
        salida += "\\\"";
        continue;
      case u'\\':
        salida += "\\\\";
        continue;
      case u'\b':
        salida += "\\b";
        continue;
      case u'\f':
        salida += "\\f";
        continue;
      case u'\n':
        salida += "\\n";
        continue;
      case u'\r':
        salida += "\\r";
        continue;
      case u'\t':
        salida += "\\t";
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
      Escape(salida, c);
    } else if (Alta(c) && i + 1 < texto.size() && Baja(texto[i + 1])) {
      Utf8(salida, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(texto[i + 1]) - 0xDC00));
      ++i;
    } else if (Alta(c) || Baja(c)) {
      Escape(salida, c);
    } else {
      Utf8(salida, c);
    }
  }
  salida.push_back('"');
  return salida;
}

std::string JsonNombre(std::string_view bytes) {
  return JsonTexto(NombreLinux(platform::DecodeName(std::string(bytes))));
}

std::u16string NombreLinux(std::u16string nombre) {
  for (char16_t& c : nombre) {
    if (c == kBarraInvertidaEnNombre) c = u'\\';
  }
  return nombre;
}

void TObjetoJson::Clave(std::string_view nombre) {
  if (texto_.size() > 1) texto_.push_back(',');
  texto_ += JsonTexto(std::u16string(nombre.begin(), nombre.end()));
  texto_.push_back(':');
}

TObjetoJson& TObjetoJson::Texto(std::string_view nombre, std::u16string_view valor) {
  Clave(nombre);
  texto_ += JsonTexto(valor);
  return *this;
}

TObjetoJson& TObjetoJson::Nombre(std::string_view nombre, std::string_view bytes) {
  Clave(nombre);
  texto_ += JsonNombre(bytes);
  return *this;
}

TObjetoJson& TObjetoJson::Ascii(std::string_view nombre, std::string_view valor) {
  return Texto(nombre, std::u16string(valor.begin(), valor.end()));
}

TObjetoJson& TObjetoJson::Entero(std::string_view nombre, std::int64_t valor) {
  Clave(nombre);
  texto_ += std::to_string(valor);
  return *this;
}

TObjetoJson& TObjetoJson::Logico(std::string_view nombre, bool valor) {
  Clave(nombre);
  texto_ += valor ? "true" : "false";
  return *this;
}

TObjetoJson& TObjetoJson::Nulo(std::string_view nombre) {
  Clave(nombre);
  texto_ += "null";
  return *this;
}

TObjetoJson& TObjetoJson::Json(std::string_view nombre, std::string_view json) {
  Clave(nombre);
  texto_ += json;
  return *this;
}

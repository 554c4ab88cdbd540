// A strict reader of JSON text (RFC 8259) for the tests: one value and nothing after it, UTF-8
// input, no trailing commas, no leading zeros, no bare control characters. Strings are kept as
// UTF-16, so that a lone surrogate escape ("\udcff") reads back as the code unit it stands for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

struct ValorJson {
  enum class Tipo { Nulo, Logico, Numero, Texto, Lista, Objeto };
  Tipo tipo = Tipo::Nulo;
  bool logico = false;
  double numero = 0;
  std::optional<std::int64_t> entero;  // when the number is written as an integer
  std::u16string texto;
  std::vector<ValorJson> lista;
  std::vector<std::pair<std::u16string, ValorJson>> miembros;

  bool EsNulo() const { return tipo == Tipo::Nulo; }
  // The member of that name, or nullptr (also when this is no object).
  const ValorJson* Miembro(std::string_view nombre) const {
    const std::u16string clave(nombre.begin(), nombre.end());
    for (const auto& [n, v] : miembros) {
      if (n == clave) return &v;
    }
    return nullptr;
  }
  // The member's text in UTF-8 (ASCII names and values in the tests), "" when missing.
  std::string Texto(std::string_view nombre) const {
    const ValorJson* v = Miembro(nombre);
    if (v == nullptr || v->tipo != Tipo::Texto) return "";
    std::string s;
    for (const char16_t c : v->texto) {
      if (c < 0x80) {
        s.push_back(static_cast<char>(c));
      } else {
        s += "?";
      }
    }
    return s;
  }
  // The member's integer, or nullopt.
  std::optional<std::int64_t> Entero(std::string_view nombre) const {
    const ValorJson* v = Miembro(nombre);
    if (v == nullptr || v->tipo != Tipo::Numero) return std::nullopt;
    return v->entero;
  }
};

class LectorJson {
 public:
  explicit LectorJson(std::string_view texto) : t_(texto) {}

  std::optional<ValorJson> Leer() {
    ValorJson v;
    Blancos();
    if (!Valor(&v, 0)) return std::nullopt;
    Blancos();
    if (i_ != t_.size()) return std::nullopt;
    return v;
  }

 private:
  void Blancos() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r'))
      ++i_;
  }
  bool Literal(std::string_view palabra) {
    if (t_.substr(i_, palabra.size()) != palabra) return false;
    i_ += palabra.size();
    return true;
  }
  bool Valor(ValorJson* v, int profundidad) {
    if (profundidad > 64 || i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '{') return Objeto(v, profundidad);
    if (c == '[') return Lista(v, profundidad);
    if (c == '"') {
      v->tipo = ValorJson::Tipo::Texto;
      return Cadena(&v->texto);
    }
    if (c == 't' || c == 'f') {
      v->tipo = ValorJson::Tipo::Logico;
      v->logico = c == 't';
      return Literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') {
      v->tipo = ValorJson::Tipo::Nulo;
      return Literal("null");
    }
    return Numero(v);
  }
  bool Objeto(ValorJson* v, int profundidad) {
    v->tipo = ValorJson::Tipo::Objeto;
    ++i_;
    Blancos();
    if (i_ < t_.size() && t_[i_] == '}') {
      ++i_;
      return true;
    }
    for (;;) {
      Blancos();
      std::u16string nombre;
      if (i_ >= t_.size() || t_[i_] != '"' || !Cadena(&nombre)) return false;
      Blancos();
      if (i_ >= t_.size() || t_[i_] != ':') return false;
      ++i_;
      Blancos();
      ValorJson miembro;
      if (!Valor(&miembro, profundidad + 1)) return false;
      v->miembros.emplace_back(std::move(nombre), std::move(miembro));
      Blancos();
      if (i_ >= t_.size()) return false;
      if (t_[i_] == '}') {
        ++i_;
        return true;
      }
      if (t_[i_++] != ',') return false;
    }
  }
  bool Lista(ValorJson* v, int profundidad) {
    v->tipo = ValorJson::Tipo::Lista;
    ++i_;
    Blancos();
    if (i_ < t_.size() && t_[i_] == ']') {
      ++i_;
      return true;
    }
    for (;;) {
      Blancos();
      ValorJson elemento;
      if (!Valor(&elemento, profundidad + 1)) return false;
      v->lista.push_back(std::move(elemento));
      Blancos();
      if (i_ >= t_.size()) return false;
      if (t_[i_] == ']') {
        ++i_;
        return true;
      }
      if (t_[i_++] != ',') return false;
    }
  }
  bool Numero(ValorJson* v) {
    const std::size_t inicio = i_;
    if (i_ < t_.size() && t_[i_] == '-') ++i_;
    auto digitos = [&] {
      const std::size_t desde = i_;
      while (i_ < t_.size() && t_[i_] >= '0' && t_[i_] <= '9') ++i_;
      return i_ - desde;
    };
    const std::size_t enteros_desde = i_;
    const std::size_t enteros = digitos();
    if (enteros == 0 || (enteros > 1 && t_[enteros_desde] == '0')) return false;
    bool es_entero = true;
    if (i_ < t_.size() && t_[i_] == '.') {
      ++i_;
      if (digitos() == 0) return false;
      es_entero = false;
    }
    if (i_ < t_.size() && (t_[i_] == 'e' || t_[i_] == 'E')) {
      ++i_;
      if (i_ < t_.size() && (t_[i_] == '+' || t_[i_] == '-')) ++i_;
      if (digitos() == 0) return false;
      es_entero = false;
    }
    const std::string texto(t_.substr(inicio, i_ - inicio));
    v->tipo = ValorJson::Tipo::Numero;
    v->numero = std::stod(texto);
    if (es_entero && texto.size() < 19) v->entero = std::stoll(texto);
    return true;
  }
  bool Hex4(char16_t* unidad) {
    if (i_ + 4 > t_.size()) return false;
    unsigned valor = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      valor <<= 4;
      if (c >= '0' && c <= '9') {
        valor |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        valor |= c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        valor |= c - 'A' + 10;
      } else {
        return false;
      }
    }
    *unidad = static_cast<char16_t>(valor);
    return true;
  }
  bool Cadena(std::u16string* s) {
    ++i_;  // the opening quote
    while (i_ < t_.size()) {
      const unsigned char c = static_cast<unsigned char>(t_[i_]);
      if (c == '"') {
        ++i_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++i_ >= t_.size()) return false;
        const char e = t_[i_++];
        switch (e) {
          case '"': s->push_back(u'"'); break;
          case '\\': s->push_back(u'\\'); break;
          case '/': s->push_back(u'/'); break;
          case 'b': s->push_back(u'\b'); break;
          case 'f': s->push_back(u'\f'); break;
          case 'n': s->push_back(u'\n'); break;
          case 'r': s->push_back(u'\r'); break;
          case 't': s->push_back(u'\t'); break;
          case 'u': {
            char16_t unidad;
            if (!Hex4(&unidad)) return false;
            s->push_back(unidad);
            break;
          }
          default:
            return false;
        }
        continue;
      }
      // UTF-8: one to four bytes, no overlong form, no surrogate, nothing above U+10FFFF.
      char32_t cp;
      std::size_t n;
      if (c < 0x80) {
        cp = c;
        n = 1;
      } else if (c >= 0xC2 && c <= 0xDF) {
        cp = c & 0x1F;
        n = 2;
      } else if (c >= 0xE0 && c <= 0xEF) {
        cp = c & 0x0F;
        n = 3;
      } else if (c >= 0xF0 && c <= 0xF4) {
        cp = c & 0x07;
        n = 4;
      } else {
        return false;
      }
      if (i_ + n > t_.size()) return false;
      for (std::size_t k = 1; k < n; ++k) {
        const unsigned char d = static_cast<unsigned char>(t_[i_ + k]);
        if ((d & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (d & 0x3F);
      }
      if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
          (cp >= 0xD800 && cp <= 0xDFFF)) {
        return false;
      }
      i_ += n;
      if (cp >= 0x10000) {
        s->push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        s->push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        s->push_back(static_cast<char16_t>(cp));
      }
    }
    return false;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

inline std::optional<ValorJson> LeerJson(std::string_view texto) {
  return LectorJson(texto).Leer();
}

}  // namespace testing_support

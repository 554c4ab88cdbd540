#include "records/Huella.h"

#include <xxhash.h>

#include <cstdio>
#include <new>

struct TCalculoHuella::Estado {
  XXH3_state_t* xxh = nullptr;
};

TCalculoHuella::TCalculoHuella() : estado_(std::make_unique<Estado>()) {
  estado_->xxh = XXH3_createState();
  if (estado_->xxh == nullptr) throw std::bad_alloc();
  XXH3_128bits_reset(estado_->xxh);
}

TCalculoHuella::~TCalculoHuella() { XXH3_freeState(estado_->xxh); }

void TCalculoHuella::Agregar(const void* datos, std::size_t bytes) {
  XXH3_128bits_update(estado_->xxh, datos, bytes);
  bytes_ += static_cast<std::int64_t>(bytes);
}

THuella TCalculoHuella::Resultado() const {
  const XXH128_hash_t h = XXH3_128bits_digest(estado_->xxh);
  return {h.high64, h.low64};
}

THuella HuellaDe(const void* datos, std::size_t bytes) {
  const XXH128_hash_t h = XXH3_128bits(datos, bytes);
  return {h.high64, h.low64};
}

std::string THuella::Hex() const {
  char texto[33];
  std::snprintf(texto, sizeof texto, "%016llx%016llx", static_cast<unsigned long long>(Alta),
                static_cast<unsigned long long>(Baja));
  return texto;
}

bool THuella::DeHex(std::string_view hex, THuella* huella) {
  if (hex.size() != 32) return false;
  std::uint64_t mitades[2] = {0, 0};
  for (std::size_t i = 0; i < hex.size(); ++i) {
    const char c = hex[i];
    int digito;
    if (c >= '0' && c <= '9') {
      digito = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digito = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digito = c - 'A' + 10;
    } else {
      return false;
    }
    mitades[i / 16] = (mitades[i / 16] << 4) | static_cast<std::uint64_t>(digito);
  }
  *huella = {mitades[0], mitades[1]};
  return true;
}

#include "engine/Huella.h"

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

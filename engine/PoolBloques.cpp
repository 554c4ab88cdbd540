#include "engine/PoolBloques.h"

#include "platform/buffer_registry.h"
#include "platform/memory.h"

TPoolBloques::TPoolBloques(std::shared_ptr<platform::Env> env, std::int64_t talla_bloque)
    : Env(std::move(env)), TallaBloque(talla_bloque) {}

TPoolBloques::~TPoolBloques() {
  for (const auto& libres : Libres) {
    for (void* bloque : libres) platform::VirtualFree(bloque);
  }
}

void TPoolBloques::FijarLimite(std::int64_t MemoriaLibre) {
  std::int64_t disponible = 0;
  platform::MemoryStatus memoria;
  // Unreadable memory status: the pool keeps what it has and grows no further.
  if (Env->GlobalMemoryStatus(&memoria) &&
      memoria.AvailPhys > static_cast<std::uint64_t>(MemoriaLibre)) {
    disponible = static_cast<std::int64_t>(memoria.AvailPhys - static_cast<std::uint64_t>(MemoriaLibre));
  }
  LimiteBytes = (MapeadosN + disponible / TallaBloque) * TallaBloque;
  Fijado = true;
}

void* TPoolBloques::Tomar(std::int64_t MemoriaLibre, bool entero) {
  std::lock_guard<std::mutex> lock(Bloqueo);
  if (!Fijado) FijarLimite(MemoriaLibre);
  // A block of the other kind is lent rather than a new one mapped: a new one is cleared too.
  for (std::vector<void*>* libres : {&Libres[entero], &Libres[!entero]}) {
    if (libres->empty()) continue;
    void* bloque = libres->back();
    libres->pop_back();
    ++PrestadosN;
    return bloque;
  }
  if (LimiteBytes < TallaBloque) FijarLimite(MemoriaLibre);
  if ((MapeadosN + 1) * TallaBloque > LimiteBytes) return nullptr;
  void* bloque = Env->VirtualAlloc(static_cast<std::uint64_t>(TallaBloque));
  if (bloque == nullptr) return nullptr;
  platform::AdviseHugePages(bloque, static_cast<std::uint64_t>(TallaBloque), entero);
  if (entero) DePaginasEnormes.insert(bloque);
  ++MapeadosN;
  ++PrestadosN;
  return bloque;
}

void TPoolBloques::Devolver(void* bloque) {
  if (bloque == nullptr) return;
  std::lock_guard<std::mutex> lock(Bloqueo);
  --PrestadosN;
  if (platform::UsedByTransfer(bloque)) {
    --MapeadosN;
    DePaginasEnormes.erase(bloque);
    platform::VirtualFree(bloque);
    return;
  }
  Libres[DePaginasEnormes.contains(bloque)].push_back(bloque);
}

std::int64_t TPoolBloques::Limite(std::int64_t MemoriaLibre) {
  std::lock_guard<std::mutex> lock(Bloqueo);
  if (!Fijado) FijarLimite(MemoriaLibre);
  return LimiteBytes;
}

void TPoolBloques::Recortar() {
  std::lock_guard<std::mutex> lock(Bloqueo);
  if (PrestadosN != 0 || (!Fijado && MapeadosN == 0)) return;
  MapeadosN -= static_cast<std::int64_t>(Libres[0].size() + Libres[1].size());
  for (auto& libres : Libres) {
    for (void* bloque : libres) platform::VirtualFree(bloque);
    libres.clear();
  }
  DePaginasEnormes.clear();
  Fijado = false;
}

std::int64_t TPoolBloques::Prestados() const {
  std::lock_guard<std::mutex> lock(Bloqueo);
  return PrestadosN;
}

std::int64_t TPoolBloques::Mapeados() const {
  std::lock_guard<std::mutex> lock(Bloqueo);
  return MapeadosN;
}

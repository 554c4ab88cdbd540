// The block buffers of a job: page-aligned blocks of one size, mapped as the job first needs
// them and handed out again as their holders let them go, up to a limit fixed once from what the
// engine may take. The engine's own buffers count against that limit, so memory that other
// processes free meanwhile does not let it grow, and the machine's memory is read when the limit
// is fixed, not for every block.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/env.h"

class TPoolBloques {
 public:
  TPoolBloques(std::shared_ptr<platform::Env> env, std::int64_t talla_bloque);
  ~TPoolBloques();
  TPoolBloques(const TPoolBloques&) = delete;
  TPoolBloques& operator=(const TPoolBloques&) = delete;

  // A block, or nullptr while the limit is reached: the caller asks again later. The limit is
  // fixed at the first call after Recortar, as the blocks already mapped plus what the machine
  // has available above MemoriaLibre; a limit below one block is read again on each call, since
  // memory short at first may come back. A block for a transfer that fills it (`entero`) is
  // backed by huge pages, cheap to pin; one for a small file's few bytes keeps small pages, so
  // that only the pages it uses are ever cleared. Each kind is lent again first as its own.
  void* Tomar(std::int64_t MemoriaLibre, bool entero = true);
  // Any thread: a block from Tomar comes back. One that an abandoned transfer still uses is
  // unmapped when that transfer ends and is never lent again; the pool maps another in its place.
  void Devolver(void* bloque);
  // The bytes the pool may hold in this job, fixing the limit as Tomar does.
  std::int64_t Limite(std::int64_t MemoriaLibre);
  // With no block lent: unmaps the pool's blocks, so that an idle program holds no buffer, and
  // lets the next job fix its own limit.
  void Recortar();

  std::int64_t Talla() const { return TallaBloque; }
  std::int64_t Prestados() const;  // blocks lent and not given back
  std::int64_t Mapeados() const;   // blocks the pool holds, lent or not

 private:
  void FijarLimite(std::int64_t MemoriaLibre);  // the caller holds Bloqueo

  const std::shared_ptr<platform::Env> Env;
  const std::int64_t TallaBloque;
  mutable std::mutex Bloqueo;  // guards everything below
  std::vector<void*> Libres[2];              // not lent: [0] of small pages, [1] of huge ones
  std::unordered_set<void*> DePaginasEnormes;  // the mapped blocks of huge pages
  std::int64_t MapeadosN = 0;
  std::int64_t PrestadosN = 0;
  std::int64_t LimiteBytes = 0;
  bool Fijado = false;
};

// The program-wide values that the workers read from their own threads (the settings the engine
// uses), the operating-system services they reach, and the events they publish. The program
// owns one and every worker shares it, so that a worker that outlives the window still reads
// valid memory. Every field is read whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/PoolBloques.h"
#include "engine/TEventos.h"
#include "platform/env.h"
#include "records/Tallas.h"

struct TEntorno {
  explicit TEntorno(std::shared_ptr<platform::Env> env = platform::DefaultEnv())
      : Env(std::move(env)), Bloques(std::make_shared<TPoolBloques>(Env, kBloque)) {}

  const std::shared_ptr<platform::Env> Env;              // the services; never null
  // The source's block buffers; every read and write of a block holds one of them.
  const std::shared_ptr<TPoolBloques> Bloques;
  std::atomic<std::uint32_t> TiempoError{15000};         // ms a worker waits for a completion
  std::atomic<std::int64_t> MemoriaTotal{0};             // physical memory, bytes
  std::atomic<std::int64_t> MemoriaLibre{1LL << 30};     // memory the engine leaves free, bytes
  std::atomic<std::uint32_t> IntervaloTimer{300};        // ms between speed samples
  std::atomic<bool> Verificar{true};   // each stick reads its job back before it is done
  std::atomic<bool> Manifiesto{true};  // each stick gets the checksum file of its job
  TEventos Eventos;
};

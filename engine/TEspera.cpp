#include "engine/TEspera.h"

#include <chrono>
#include <thread>

TEspera::~TEspera() {
  if (BufCount == nullptr) return;
  // Holders of one buffer are destroyed on different threads: decrement and test are one step.
  if (BufCount->fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete BufCount;
    if (Pool) Pool->Devolver(Buf);
  }
}

void TEspera::ExeIO(TContextoIO& C) {
  // Work queued for the worker ends the wait at once (TDHilo::Despertar).
  C.CP.WaitForNudge(200);
  C.CP.Post(0, 0, nullptr);
}

bool TEspera::BorrarDestino(TIdDestino) { return false; }

bool TEspera::CrearBuf(const std::shared_ptr<TPoolBloques>&, std::int64_t) {
  BufCount = new std::atomic<std::int32_t>(1);
  return true;
}

void TEspera::LlenarDList(std::vector<TIdDestino>&) {}

void TEspera::SetOverlappedPos(std::int64_t OPos) {
  const auto position = static_cast<std::uint64_t>(OPos);
  ORec.Offset = static_cast<std::uint32_t>(position);
  ORec.OffsetHigh = static_cast<std::uint32_t>(position >> 32);
}

void TEspera::CompartirBuf(TEspera& other) const {
  other.Buf = Buf;
  other.BufCount = BufCount;
  other.Pool = Pool;
}


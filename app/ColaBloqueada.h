// The source worker's queue of records, held locked for the life of the object: its scheduler
// waits meanwhile, so what the main thread reads or changes is one consistent picture.
#pragma once

#include "engine/TDHilo.h"

class TColaBloqueada {
 public:
  explicit TColaBloqueada(TDHilo& origen) : origen_(origen), cola_(origen.LockFList()) {}
  ~TColaBloqueada() { origen_.UnLockFList(); }
  TColaBloqueada(const TColaBloqueada&) = delete;
  TColaBloqueada& operator=(const TColaBloqueada&) = delete;
  std::deque<std::unique_ptr<TFRec>>& operator*() { return cola_; }

 private:
  TDHilo& origen_;
  std::deque<std::unique_ptr<TFRec>>& cola_;
};

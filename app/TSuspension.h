// A worker held suspended while the main thread works on its drive itself, then left in the
// suspended state it had before: a worker the user stopped stays stopped. Main thread.
#pragma once

#include "engine/TDHilo.h"

class TSuspension {
 public:
  explicit TSuspension(TDHilo& hilo) : hilo_(hilo), estaba_(hilo.Suspended()) { hilo_.Suspend(); }
  ~TSuspension() {
    if (!estaba_) hilo_.Resume();
  }
  TSuspension(const TSuspension&) = delete;
  TSuspension& operator=(const TSuspension&) = delete;

 private:
  TDHilo& hilo_;
  const bool estaba_;
};

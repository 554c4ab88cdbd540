// Operations for tests of the worker loop: one that completes at once moving a given number of
// bytes, and one that never completes (a device that does not answer). Both count what is done
// with them.
#pragma once

#include <atomic>

#include "engine/TEspera.h"

namespace testing_support {

struct Contadores {
  std::atomic<int> iniciadas{0};
  std::atomic<int> terminadas{0};
  std::atomic<int> destruidas{0};
};

class OperacionInmediata : public TEspera {
 public:
  OperacionInmediata(Contadores& contadores, std::int64_t bytes) : contadores_(contadores) {
    BufBytes = bytes;
  }
  ~OperacionInmediata() override { contadores_.destruidas++; }
  void ExeIO(TContextoIO& C) override {
    contadores_.iniciadas++;
    C.CP.Post(0, 0, nullptr);
  }
  void OnExeIO() override { contadores_.terminadas++; }

 protected:
  Contadores& contadores_;
};

class OperacionColgada : public OperacionInmediata {
 public:
  using OperacionInmediata::OperacionInmediata;
  void ExeIO(TContextoIO&) override {
    contadores_.iniciadas++;
  }
};

}  // namespace testing_support

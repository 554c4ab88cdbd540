// Waiting for what worker threads bring about, with a generous limit.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

inline bool Esperar(const std::function<bool()>& condicion,
                    std::chrono::milliseconds limite = std::chrono::seconds(10)) {
  const auto fin = std::chrono::steady_clock::now() + limite;
  while (std::chrono::steady_clock::now() < fin) {
    if (condicion()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condicion();
}

// Suspends a worker and waits until it has stopped at its pause point, so that it takes
// nothing more from its queues (a turn under way when it is suspended still ends).
template <class Hilo>
bool Detener(Hilo& hilo) {
  hilo.Suspend();
  return Esperar([&] { return hilo.Detenido(); });
}

}  // namespace testing_support

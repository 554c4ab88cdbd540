// Work that reaches a stick, run on a thread of its own and waited for at most a deadline: a
// stick that does not answer (a read the kernel holds for minutes) then holds that thread, not
// the window or the command line. The work owns what it captures: its thread outlives the wait
// when it must, and its late result is dropped.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

// The work's result, or nullopt when the deadline passed first, the work threw, or no thread
// could be had.
template <class Trabajo>
auto ConPlazo(Trabajo trabajo, std::chrono::milliseconds plazo)
    -> std::optional<std::invoke_result_t<Trabajo&>> {
  using Resultado = std::invoke_result_t<Trabajo&>;
  struct Estado {
    std::mutex mutex;
    std::condition_variable hecho;
    bool terminado = false;              // guarded by mutex
    std::optional<Resultado> resultado;  // guarded by mutex
  };
  auto estado = std::make_shared<Estado>();
  auto correr = [estado, trabajo = std::move(trabajo)]() mutable {
    std::optional<Resultado> resultado;
    try {
      resultado.emplace(trabajo());
    } catch (...) {
    }
    std::lock_guard<std::mutex> lock(estado->mutex);
    estado->resultado = std::move(resultado);
    estado->terminado = true;
    estado->hecho.notify_all();
  };
  try {
    std::thread(std::move(correr)).detach();
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  std::unique_lock<std::mutex> lock(estado->mutex);
  if (!estado->hecho.wait_for(lock, plazo, [&] { return estado->terminado; })) return std::nullopt;
  return std::move(estado->resultado);
}

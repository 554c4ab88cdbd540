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

// Work started by Lanzar, whose result is waited for later: works started one after the other
// run side by side, and are waited for against one deadline.
template <class Resultado>
class TEnCurso {
 public:
  struct TEstado {
    std::mutex mutex;
    std::condition_variable hecho;
    bool terminado = false;              // guarded by mutex
    std::optional<Resultado> resultado;  // guarded by mutex
  };

  explicit TEnCurso(std::shared_ptr<TEstado> estado) : estado_(std::move(estado)) {}

  // The work's result, or nullopt when `hasta` passed first, the work threw, or no thread could
  // be had for it. Once only.
  std::optional<Resultado> Esperar(std::chrono::steady_clock::time_point hasta) {
    if (!estado_) return std::nullopt;
    std::unique_lock<std::mutex> lock(estado_->mutex);
    if (!estado_->hecho.wait_until(lock, hasta, [&] { return estado_->terminado; }))
      return std::nullopt;
    return std::move(estado_->resultado);
  }

 private:
  std::shared_ptr<TEstado> estado_;  // null: the work never started
};

// Starts `trabajo` on a thread of its own at once.
template <class Trabajo>
auto Lanzar(Trabajo trabajo) -> TEnCurso<std::invoke_result_t<Trabajo&>> {
  using Resultado = std::invoke_result_t<Trabajo&>;
  using TEstado = typename TEnCurso<Resultado>::TEstado;
  auto estado = std::make_shared<TEstado>();
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
    return TEnCurso<Resultado>(nullptr);
  }
  return TEnCurso<Resultado>(std::move(estado));
}

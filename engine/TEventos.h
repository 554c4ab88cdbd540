// The states a worker goes through, and the events that announce each change to whoever listens
// (the window, the status page, a command-line front end), so that none of them has to poll a
// worker's counters to know that a drive is done.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

class TDHilo;

enum class TEstado : std::uint8_t {
  Reposo,       // no work counted for the drive
  EnCola,       // work is counted for it, none is under way yet
  Escribiendo,  // operations under way (for the source: reading and handing out)
  Sincronizando,  // every byte is written; the drive is flushing them to the device
  Verificando,  // on the device; each file is read back and compared, then the manifest written
  Terminado,    // every byte counted for it is on the device (and, with the read-back on, was
                // read back and matched): the drive may be removed
  Fallido,      // in error: LEC holds the code, the failed file is the worker's sample
  Quitado,      // the drive is gone
};

struct TEventoEstado {
  const TDHilo* Hilo = nullptr;  // for identity only: a listener never calls through it
  std::uint32_t Serie = 0;       // the drive's volume serial
  TEstado Antes = TEstado::Reposo;
  TEstado Ahora = TEstado::Reposo;
  std::uint32_t LEC = 0;
};

// Listeners are called on the thread of the worker that changed, one event at a time, while
// the list is locked: a listener must be quick and must not subscribe or cancel from inside.
class TEventos {
 public:
  using Oyente = std::function<void(const TEventoEstado&)>;

  // Any thread. Returns the key that cancels the subscription.
  int Suscribir(Oyente oyente) {
    std::lock_guard<std::mutex> lock(mutex_);
    oyentes_.emplace(++ultima_, std::move(oyente));
    return ultima_;
  }
  void Cancelar(int clave) {
    std::lock_guard<std::mutex> lock(mutex_);
    oyentes_.erase(clave);
  }
  void Publicar(const TEventoEstado& evento) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [clave, oyente] : oyentes_) oyente(evento);
  }

 private:
  mutable std::mutex mutex_;
  std::map<int, Oyente> oyentes_;  // guarded by mutex_
  int ultima_ = 0;                 // guarded by mutex_
};

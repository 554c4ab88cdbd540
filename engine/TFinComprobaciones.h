// The workers whose read-back has ended, as their state events tell: each left Verificando.
// A check of a stick's manifest is asked while the stick may still show the verified end of its
// copy, so only the change tells that the check has ended.
#pragma once

#include <mutex>
#include <set>

#include "engine/TDHilo.h"
#include "engine/TEventos.h"

class TFinComprobaciones {
 public:
  explicit TFinComprobaciones(TEventos& eventos) : eventos_(eventos) {
    clave_ = eventos_.Suscribir([this](const TEventoEstado& e) {
      if (e.Antes != TEstado::Verificando || e.Ahora == TEstado::Verificando) return;
      std::lock_guard<std::mutex> lock(mutex_);
      hilos_.insert(e.Hilo);
    });
  }
  ~TFinComprobaciones() { eventos_.Cancelar(clave_); }
  TFinComprobaciones(const TFinComprobaciones&) = delete;
  TFinComprobaciones& operator=(const TFinComprobaciones&) = delete;

  // Any thread.
  std::size_t Cuantos() {
    std::lock_guard<std::mutex> lock(mutex_);
    return hilos_.size();
  }
  bool Acabado(const TDHilo* hilo) {
    std::lock_guard<std::mutex> lock(mutex_);
    return hilos_.count(hilo) != 0;
  }

 private:
  TEventos& eventos_;
  int clave_ = 0;
  std::mutex mutex_;
  std::set<const TDHilo*> hilos_;
};

// The source's table of its destination workers, by identity. Records and operations name their
// destinations by TIdDestino and reach a worker only through this table: a destination taken
// out of it (cancelled, its drive gone) is never reached again, whatever still names it.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "records/TFRec.h"

class TDHilo;

class TDestinos {
 public:
  // Any thread.
  void Agregar(TIdDestino id, std::shared_ptr<TDHilo> DH) {
    std::lock_guard<std::mutex> lock(mutex_);
    tabla_[id] = std::move(DH);
  }
  void Quitar(TIdDestino id) {
    std::shared_ptr<TDHilo> quitado;  // let go after the lock: it may be the last reference
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = tabla_.find(id);
    if (it == tabla_.end()) return;
    quitado = std::move(it->second);
    tabla_.erase(it);
  }
  // nullptr for an identity that is not (or no longer) in the table.
  std::shared_ptr<TDHilo> Buscar(TIdDestino id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = tabla_.find(id);
    return it == tabla_.end() ? nullptr : it->second;
  }
  void Vaciar() {
    std::unordered_map<TIdDestino, std::shared_ptr<TDHilo>> vaciada;
    std::lock_guard<std::mutex> lock(mutex_);
    vaciada.swap(tabla_);
  }

 private:
  mutable std::mutex mutex_;  // taken alone
  std::unordered_map<TIdDestino, std::shared_ptr<TDHilo>> tabla_;  // guarded by mutex_
};

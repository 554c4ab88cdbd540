// A list with its own lock. Items are taken under the lock with Bloquear(); Agregar appends
// under the lock. Duplicates are accepted.
#pragma once

#include <deque>
#include <mutex>
#include <utility>

template <class T>
class TListaProtegida {
 public:
  // Holds the lock while alive and gives access to the items.
  class Acceso {
   public:
    explicit Acceso(TListaProtegida& lista) : lock_(lista.mutex_), items_(lista.items_) {}
    std::deque<T>& operator*() { return items_; }
    std::deque<T>* operator->() { return &items_; }

   private:
    std::unique_lock<std::mutex> lock_;
    std::deque<T>& items_;
  };

  Acceso Bloquear() { return Acceso(*this); }
  void Agregar(T item) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(std::move(item));
  }
  // For lock/unlock pairs that span calls (LockFList/UnLockFList).
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  std::deque<T>& SinBloqueo() { return items_; }  // only while the caller holds Lock()

 private:
  std::mutex mutex_;
  std::deque<T> items_;
};

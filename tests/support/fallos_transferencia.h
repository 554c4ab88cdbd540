// Faults for transfers, installed while the object lives: a read that fails once at a given
// offset of a file whose path holds a text, and transfers of files whose path holds a text that
// do not answer until released. It also counts the bytes asked of reads below a path.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/errors.h"
#include "platform/files.h"

namespace testing_support {

class FallosTransferencia final : public platform::TransferHook {
 public:
  FallosTransferencia() { platform::SetTransferHook(this); }
  ~FallosTransferencia() override {
    Liberar();
    platform::SetTransferHook(nullptr);
  }

  // The next read of a file whose path contains `texto`, at `offset`, fails with `error`.
  void FallarLectura(const std::string& texto, std::int64_t offset, platform::ErrorCode error) {
    std::lock_guard<std::mutex> lock(mutex_);
    lectura_texto_ = texto;
    lectura_offset_ = offset;
    lectura_error_ = error;
  }

  // Transfers of files whose path contains `texto` block until Liberar.
  void Colgar(const std::string& texto) {
    std::lock_guard<std::mutex> lock(mutex_);
    colgar_ = texto;
  }
  void Liberar() {
    std::lock_guard<std::mutex> lock(mutex_);
    colgar_.clear();
    cambio_.notify_all();
  }
  // From now on, counts the bytes asked of every read of a file whose path contains `texto`.
  void ContarLecturas(const std::string& texto) {
    std::lock_guard<std::mutex> lock(mutex_);
    contar_ = texto;
  }
  std::int64_t bytes_leidos() const { return bytes_leidos_.load(); }
  int colgadas() const { return colgadas_.load(); }
  int lecturas_fallidas() const { return lecturas_fallidas_.load(); }

  platform::ErrorCode BeforeTransfer(const std::string& ruta, std::int64_t offset,
                                     std::uint32_t bytes, bool escritura) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!escritura && !contar_.empty() && ruta.find(contar_) != std::string::npos)
      bytes_leidos_ += bytes;
    if (!escritura && !lectura_texto_.empty() && offset == lectura_offset_ &&
        ruta.find(lectura_texto_) != std::string::npos) {
      lecturas_fallidas_++;
      lectura_texto_.clear();
      return lectura_error_;
    }
    if (!colgar_.empty() && ruta.find(colgar_) != std::string::npos) {
      colgadas_++;
      cambio_.wait(lock, [&] { return colgar_.empty(); });
    }
    return 0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cambio_;
  std::string lectura_texto_;
  std::int64_t lectura_offset_ = -1;
  platform::ErrorCode lectura_error_ = 0;
  std::string colgar_;
  std::string contar_;
  std::atomic<std::int64_t> bytes_leidos_{0};
  std::atomic<int> colgadas_{0};
  std::atomic<int> lecturas_fallidas_{0};
};

}  // namespace testing_support

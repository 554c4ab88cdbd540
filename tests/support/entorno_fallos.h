// An environment that forwards to the real one and injects faults into the files whose path
// holds a chosen text: a transfer that fails, one that moves fewer bytes than asked, a close
// that reports an error after closing, a create that is refused, a step of finishing a copy
// that fails, a stick that reads back other bytes than it was given. A device that does not answer
// is made with FallosTransferencia, inside the port's transfer thread, where an abandoned
// transfer keeps its buffer alive.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace testing_support {

class EntornoFallos final : public platform::EnvWrapper {
 public:
  EntornoFallos() : platform::EnvWrapper(platform::DefaultEnv()) {}

  // The nth transfer (1 for the next) of that direction on a file whose path holds `texto`
  // completes with `error` and moves nothing.
  void FallarTransferencia(const std::string& texto, int n, bool escritura,
                           platform::ErrorCode error) {
    std::lock_guard<std::mutex> lock(mutex_);
    transferencia_ = {texto, n, escritura, error, 0};
  }
  // The nth transfer of that direction on such a file moves at most `bytes`.
  void AcortarTransferencia(const std::string& texto, int n, bool escritura,
                            std::uint32_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    transferencia_ = {texto, n, escritura, 0, bytes};
  }
  // Closing such a file closes it and then reports `error`.
  void FallarCierre(const std::string& texto, platform::ErrorCode error) {
    std::lock_guard<std::mutex> lock(mutex_);
    cierre_ = {texto, error};
  }
  // Opening or creating such a file is refused with `error`.
  void FallarCreacion(const std::string& texto, platform::ErrorCode error) {
    std::lock_guard<std::mutex> lock(mutex_);
    creacion_ = {texto, error};
  }
  // The steps of finishing a copy on a drive, each of which can be made to fail.
  enum class Paso { Carpetas, Longitud, Tiempos, Atributos, Renombrar, Sincronizar };
  // That step fails with `error` on a file (or, for Carpetas and Sincronizar, a folder or a
  // drive) whose path holds `texto`, every time until changed.
  void FallarPaso(Paso paso, const std::string& texto, platform::ErrorCode error) {
    std::lock_guard<std::mutex> lock(mutex_);
    pasos_[paso] = {texto, error};
  }
  // What a stick gives back for bytes it was written: one bit flipped at an offset, or zeros
  // from an offset on (a stick that holds less than it says).
  enum class Alteracion { BitCambiado, Ceros };
  // The next `veces` opens for reading of a file below a drive's root whose path holds `texto`
  // read back altered so.
  void AlterarLecturas(const std::string& texto, Alteracion alteracion, std::int64_t desde,
                       int veces) {
    std::lock_guard<std::mutex> lock(mutex_);
    lecturas_ = {texto, alteracion, desde, veces};
  }
  int inyectados() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inyectados_;
  }

  platform::Handle CreateFile(const std::u16string& path, std::uint32_t access,
                              std::uint32_t share, std::uint32_t disposition,
                              std::uint32_t flags) override {
    std::string linux_path;
    platform::ToLinuxPath(path, &linux_path, nullptr);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (Toca(creacion_.texto, linux_path)) {
        ++inyectados_;
        platform::SetLastError(creacion_.error);
        return platform::kInvalidHandle;
      }
    }
    const platform::Handle handle = target().CreateFile(path, access, share, disposition, flags);
    if (handle != platform::kInvalidHandle) {
      std::lock_guard<std::mutex> lock(mutex_);
      abiertos_[handle] = {linux_path, nullptr, 0, 0};
    }
    return handle;
  }

  platform::Handle OpenVolumeRoot(const std::string& mount_point) override {
    const platform::Handle root = target().OpenVolumeRoot(mount_point);
    if (root != platform::kInvalidHandle) {
      std::lock_guard<std::mutex> lock(mutex_);
      abiertos_[root] = {mount_point, nullptr, 0, 0};
    }
    return root;
  }

  platform::Handle CreateFileAt(platform::Handle root, const std::u16string& path,
                                std::uint32_t access, std::uint32_t disposition,
                                std::uint32_t flags) override {
    const std::string linux_path = RutaBajo(root, path);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (Toca(creacion_.texto, linux_path)) {
        ++inyectados_;
        platform::SetLastError(creacion_.error);
        return platform::kInvalidHandle;
      }
    }
    const platform::Handle handle = target().CreateFileAt(root, path, access, disposition, flags);
    if (handle != platform::kInvalidHandle) {
      std::lock_guard<std::mutex> lock(mutex_);
      abiertos_[handle] = {linux_path, nullptr, 0, 0};
      if ((access & platform::GENERIC_READ) && lecturas_.veces > 0 &&
          Toca(lecturas_.texto, linux_path)) {
        --lecturas_.veces;
        abiertos_[handle].alterada = true;
      }
    }
    return handle;
  }

  bool CreateFoldersAt(platform::Handle root, const std::u16string& path) override {
    return !FallaPaso(Paso::Carpetas, RutaBajo(root, path)) &&
           target().CreateFoldersAt(root, path);
  }
  bool SetEndOfFile(platform::Handle file) override {
    return !FallaPaso(Paso::Longitud, Ruta(file)) && target().SetEndOfFile(file);
  }
  bool SetFileTime(platform::Handle file, platform::FileTime creation,
                   platform::FileTime last_access, platform::FileTime last_write) override {
    return !FallaPaso(Paso::Tiempos, Ruta(file)) &&
           target().SetFileTime(file, creation, last_access, last_write);
  }
  bool SetFileAttributesByHandle(platform::Handle file, std::uint32_t attributes) override {
    return !FallaPaso(Paso::Atributos, Ruta(file)) &&
           target().SetFileAttributesByHandle(file, attributes);
  }
  bool MoveFileAt(platform::Handle root, const std::u16string& from,
                  const std::u16string& to) override {
    return !FallaPaso(Paso::Renombrar, RutaBajo(root, to)) && target().MoveFileAt(root, from, to);
  }
  bool FlushVolume(platform::Handle root, platform::Overlapped* ov) override {
    return !FallaPaso(Paso::Sincronizar, Ruta(root)) && target().FlushVolume(root, ov);
  }

  bool BindToPort(platform::Handle file, const platform::PortPtr& port) override {
    if (!target().BindToPort(file, port)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = abiertos_.find(file);
    if (it != abiertos_.end()) it->second.puerto = port;
    return true;
  }

  bool ReadFile(platform::Handle file, void* buffer, std::uint32_t bytes,
                platform::Overlapped* ov) override {
    if (LeerAlterado(file, buffer, bytes, ov)) return true;
    return Transferir(file, bytes, ov, false, [&](std::uint32_t n) {
      return target().ReadFile(file, buffer, n, ov);
    });
  }
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t bytes,
                 platform::Overlapped* ov) override {
    return Transferir(file, bytes, ov, true, [&](std::uint32_t n) {
      return target().WriteFile(file, buffer, n, ov);
    });
  }

  bool CloseHandle(platform::Handle handle) override {
    std::string ruta;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = abiertos_.find(handle);
      if (it != abiertos_.end()) {
        ruta = it->second.ruta;
        abiertos_.erase(it);
      }
    }
    const bool cerrado = target().CloseHandle(handle);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!cerrado || !Toca(cierre_.texto, ruta)) return cerrado;
    ++inyectados_;
    platform::SetLastError(cierre_.error);
    return false;
  }

 private:
  struct Abierto {
    std::string ruta;
    platform::PortPtr puerto;
    int lecturas = 0;
    int escrituras = 0;
    bool alterada = false;
  };
  struct Lecturas {
    std::string texto;
    Alteracion alteracion = Alteracion::BitCambiado;
    std::int64_t desde = 0;
    int veces = 0;
  };
  struct Transferencia {
    std::string texto;
    int n = 0;
    bool escritura = false;
    platform::ErrorCode error = 0;   // 0: shortened instead
    std::uint32_t bytes = 0;
  };
  struct Fallo {
    std::string texto;
    platform::ErrorCode error = 0;
  };

  static bool Toca(const std::string& texto, const std::string& ruta) {
    return !texto.empty() && ruta.find(texto) != std::string::npos;
  }

  std::string Ruta(platform::Handle handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = abiertos_.find(handle);
    return it == abiertos_.end() ? std::string() : it->second.ruta;
  }
  // The Linux path of a path below a drive's root, for matching only.
  std::string RutaBajo(platform::Handle root, const std::u16string& path) const {
    std::u16string barras = path;
    for (char16_t& u : barras) {
      if (u == u'\\') u = u'/';
    }
    std::string bytes;
    platform::EncodeName(barras, &bytes);
    return Ruta(root) + "/" + bytes;
  }
  bool FallaPaso(Paso paso, const std::string& ruta) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = pasos_.find(paso);
    if (it == pasos_.end() || !Toca(it->second.texto, ruta)) return false;
    ++inyectados_;
    platform::SetLastError(it->second.error);
    return true;
  }

  // Reads an altered file's bytes here, alters them, and completes the read on its port.
  bool LeerAlterado(platform::Handle file, void* buffer, std::uint32_t bytes,
                    platform::Overlapped* ov) {
    std::string ruta;
    platform::PortPtr puerto;
    Lecturas lecturas;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = abiertos_.find(file);
      if (it == abiertos_.end() || !it->second.alterada || !it->second.puerto) return false;
      ruta = it->second.ruta;
      puerto = it->second.puerto;
      lecturas = lecturas_;
      ++inyectados_;
    }
    const std::int64_t posicion =
        static_cast<std::int64_t>(ov->Offset) | (static_cast<std::int64_t>(ov->OffsetHigh) << 32);
    const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t leidos = fd < 0 ? -1 : ::pread(fd, buffer, bytes, posicion);
    if (fd >= 0) ::close(fd);
    if (leidos < 0) {
      puerto->PostFailure(0, file, ov, platform::ERROR_GEN_FAILURE);
      return true;
    }
    auto* datos = static_cast<unsigned char*>(buffer);
    for (std::int64_t i = 0; i < leidos; ++i) {
      const std::int64_t en_archivo = posicion + i;
      if (lecturas.alteracion == Alteracion::BitCambiado && en_archivo == lecturas.desde) {
        datos[i] ^= 0x10;
      } else if (lecturas.alteracion == Alteracion::Ceros && en_archivo >= lecturas.desde) {
        datos[i] = 0;
      }
    }
    puerto->Post(static_cast<std::uint32_t>(leidos), file, ov);
    return true;
  }

  template <class Real>
  bool Transferir(platform::Handle file, std::uint32_t bytes, platform::Overlapped* ov,
                  bool escritura, Real real) {
    platform::PortPtr puerto;
    platform::ErrorCode error = 0;
    std::uint32_t limite = bytes;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto it = abiertos_.find(file);
      if (it != abiertos_.end() && escritura == transferencia_.escritura &&
          Toca(transferencia_.texto, it->second.ruta)) {
        const int cuenta = escritura ? ++it->second.escrituras : ++it->second.lecturas;
        if (cuenta == transferencia_.n) {
          ++inyectados_;
          error = transferencia_.error;
          puerto = it->second.puerto;
          if (error == 0) limite = std::min(bytes, transferencia_.bytes);
          transferencia_ = {};
        }
      }
    }
    if (error != 0 && puerto) {
      puerto->PostFailure(0, file, ov, error);
      return true;
    }
    return real(limite);
  }

  mutable std::mutex mutex_;
  std::map<platform::Handle, Abierto> abiertos_;  // guarded by mutex_
  Transferencia transferencia_;                    // guarded by mutex_
  Fallo cierre_;                                   // guarded by mutex_
  Fallo creacion_;                                 // guarded by mutex_
  Lecturas lecturas_;                              // guarded by mutex_
  std::map<Paso, Fallo> pasos_;                    // guarded by mutex_
  int inyectados_ = 0;                             // guarded by mutex_
};

}  // namespace testing_support

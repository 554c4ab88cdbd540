#include "cli/Expulsar.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/errors.h"

struct TExpulsion::TEstado {
  std::atomic<bool> terminada{false};
  std::atomic<std::uint32_t> error{0};
};

namespace {

std::uint32_t Expulsar(const std::string& montaje) {
  const int fd = open(montaje.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return platform::ErrorFromErrno(errno);
  const int sincronizado = syncfs(fd);
  const int error_sincronizar = errno;
  close(fd);
  if (sincronizado != 0) return platform::ErrorFromErrno(error_sincronizar);
  if (umount2(montaje.c_str(), UMOUNT_NOFOLLOW) != 0) return platform::ErrorFromErrno(errno);
  return 0;
}

}  // namespace

TExpulsion::TExpulsion(const std::string& montaje) : estado_(std::make_shared<TEstado>()) {
  std::thread([estado = estado_, montaje] {
    estado->error.store(Expulsar(montaje));
    estado->terminada.store(true, std::memory_order_release);
  }).detach();
}

bool TExpulsion::Terminada(std::uint32_t* error) const {
  if (!estado_->terminada.load(std::memory_order_acquire)) return false;
  *error = estado_->error.load();
  return true;
}

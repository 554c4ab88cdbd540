#include "cli/Senales.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

sigset_t Conjunto() {
  sigset_t conjunto;
  sigemptyset(&conjunto);
  sigaddset(&conjunto, SIGINT);
  sigaddset(&conjunto, SIGTERM);
  sigaddset(&conjunto, SIGHUP);
  return conjunto;
}

}  // namespace

TSenales::TSenales() {
  signal(SIGPIPE, SIG_IGN);
  const sigset_t conjunto = Conjunto();
  pthread_sigmask(SIG_BLOCK, &conjunto, nullptr);
  fd_ = signalfd(-1, &conjunto, SFD_NONBLOCK | SFD_CLOEXEC);
  // Without the descriptor the signals would never be seen: they keep their default action.
  if (fd_ < 0) pthread_sigmask(SIG_UNBLOCK, &conjunto, nullptr);
}

TSenales::~TSenales() {
  if (fd_ >= 0) close(fd_);
}

int TSenales::Tomar() {
  if (fd_ < 0) return 0;
  signalfd_siginfo info;
  for (;;) {
    const ssize_t n = read(fd_, &info, sizeof info);
    if (n == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

const char* NombreSenal(int senal) {
  switch (senal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "SIG?";
  }
}

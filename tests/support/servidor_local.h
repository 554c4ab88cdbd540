// The HTTP server on a free port, fetched through 127.0.0.1 only.
#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "platform/http_server.h"

namespace testing_support {

// A socket bound to a port of 127.0.0.1, listening while the object lives; port 0 takes any
// free one.
class SocketLocal {
 public:
  explicit SocketLocal(std::uint16_t puerto = 0)
      : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    direccion.sin_port = htons(puerto);
    socklen_t talla = sizeof direccion;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&direccion), talla) != 0 ||
        listen(fd_, 1) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&direccion), &talla) != 0) {
      return;
    }
    puerto_ = ntohs(direccion.sin_port);
  }
  ~SocketLocal() {
    if (fd_ >= 0) close(fd_);
  }
  SocketLocal(const SocketLocal&) = delete;
  SocketLocal& operator=(const SocketLocal&) = delete;

  std::uint16_t Puerto() const { return puerto_; }  // 0 when the port could not be taken

 private:
  int fd_;
  std::uint16_t puerto_ = 0;
};

// Activates the server on a port that was free a moment ago; another process may take such a
// port first, so a few are tried. 0 when none could be had.
inline std::uint16_t ActivarEnPuertoLibre(platform::HttpServer& servidor) {
  for (int intento = 0; intento < 10; ++intento) {
    std::uint16_t puerto;
    {
      SocketLocal libre;
      puerto = libre.Puerto();
    }
    if (puerto == 0) continue;
    servidor.SetPort(puerto);
    if (servidor.Activate()) return puerto;
  }
  return 0;
}

// A client of the server at `puerto` of this computer, with bounded waits.
inline httplib::Client Cliente(std::uint16_t puerto) {
  httplib::Client cliente("127.0.0.1", puerto);
  cliente.set_connection_timeout(5);
  cliente.set_read_timeout(30);
  return cliente;
}

}  // namespace testing_support

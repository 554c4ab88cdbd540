// The HTTP server on a free port, fetched through 127.0.0.1 only.
#pragma once

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// A connection of its own to the server at `puerto` of 127.0.0.1, for what no ordinary client
// does: requests sent slowly, cut short or malformed, answers left unread. Every wait is bounded.
class ConexionLocal {
 public:
  // A `bufer_recepcion` other than 0 makes the receive buffer that small, so that an answer
  // left unread soon holds the server's sending.
  explicit ConexionLocal(std::uint16_t puerto, int bufer_recepcion = 0)
      : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (fd_ < 0) return;
    if (bufer_recepcion != 0) {
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bufer_recepcion, sizeof bufer_recepcion);
    }
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    direccion.sin_port = htons(puerto);
    conectada_ = connect(fd_, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion) == 0;
  }
  ~ConexionLocal() {
    if (fd_ >= 0) close(fd_);
  }
  ConexionLocal(const ConexionLocal&) = delete;
  ConexionLocal& operator=(const ConexionLocal&) = delete;

  bool Conectada() const { return conectada_; }

  // False once the server has closed the connection. Never raises SIGPIPE.
  bool Enviar(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // What the server sends until it ends the connection (a reset ends it too); nothing when the
  // connection is still open after `limite`.
  std::optional<std::string> LeerHastaElCierre(
      std::chrono::milliseconds limite = std::chrono::seconds(30)) const {
    std::string leido;
    return LeerHasta(&leido, std::string::npos, limite) ? std::optional(leido) : std::nullopt;
  }

  // The next `n` bytes of the answer, or fewer when the connection ends or `limite` passes.
  std::string Leer(std::size_t n,
                   std::chrono::milliseconds limite = std::chrono::seconds(30)) const {
    std::string leido;
    LeerHasta(&leido, n, limite);
    return leido;
  }

  // Closes the connection at once; with bytes of the server's still unread, that resets it.
  void Cerrar() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  // Reads until `hasta` bytes are in; true when the connection has ended first.
  bool LeerHasta(std::string* leido, std::size_t hasta, std::chrono::milliseconds limite) const {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (leido->size() < hasta) {
      const auto resto =
          std::chrono::ceil<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
      if (resto.count() <= 0) return false;
      pollfd espera{fd_, POLLIN, 0};
      const int listo = poll(&espera, 1, static_cast<int>(resto.count()));
      if (listo < 0 && errno == EINTR) continue;
      if (listo <= 0) return false;
      char trozo[16384];
      const ssize_t n = recv(fd_, trozo, std::min(sizeof trozo, hasta - leido->size()), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return true;
      leido->append(trozo, static_cast<std::size_t>(n));
    }
    return false;
  }

  int fd_;
  bool conectada_ = false;
};

}  // namespace testing_support

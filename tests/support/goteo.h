// Clients of an HTTP server that trickle their requests, as a flood of slow clients does: the
// status server's bound is tested and measured with them.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The clients that trickle: each sends its request a byte a second and, dropped by the server
// (a 503, or its deadline), connects again a second later. One thread drives them all with
// poll.
class Goteo {
 public:
  Goteo(std::uint16_t puerto, int clientes) : puerto_(puerto), clientes_(clientes) {}
  ~Goteo() {
    for (Cliente& c : lista_) Cerrar(c);
  }

  // Runs while `seguir` says so.
  void Correr(const std::function<bool()>& seguir) {
    lista_.resize(static_cast<std::size_t>(clientes_));
    static const std::string kPeticion = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    while (seguir()) {
      const auto ahora = std::chrono::steady_clock::now();
      for (Cliente& c : lista_) {
        if (c.fd < 0 && ahora >= c.siguiente) Conectar(c);
        if (c.fd >= 0 && ahora >= c.siguiente) {
          const char byte = kPeticion[c.enviados % kPeticion.size()];
          if (send(c.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) ++c.enviados;
          c.siguiente = ahora + std::chrono::seconds(1);
        }
      }
      std::vector<pollfd> fds;
      std::vector<Cliente*> de;
      for (Cliente& c : lista_) {
        if (c.fd < 0) continue;
        fds.push_back({c.fd, POLLIN, 0});
        de.push_back(&c);
      }
      poll(fds.data(), fds.size(), 50);
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        // An answer (a 503) or the end of the connection: read what there is, then start over.
        char bufer[4096];
        const ssize_t n = recv(fds[i].fd, bufer, sizeof bufer, MSG_DONTWAIT);
        if (n > 0) ++respuestas;
        if (n >= 0 || (errno != EAGAIN && errno != EINTR)) {
          ++cerradas;
          Cerrar(*de[i]);
          de[i]->siguiente = std::chrono::steady_clock::now() + std::chrono::seconds(1);  // back a second later
        }
      }
    }
  }

  std::atomic<int> conexiones{0}, respuestas{0}, cerradas{0};

 private:
  struct Cliente {
    int fd = -1;
    std::size_t enviados = 0;
    std::chrono::steady_clock::time_point siguiente{};
  };
  void Conectar(Cliente& c) {
    c.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (c.fd < 0) return;
    sockaddr_in direccion{};
    direccion.sin_family = AF_INET;
    direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    direccion.sin_port = htons(puerto_);
    connect(c.fd, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion);
    c.enviados = 0;
    c.siguiente = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);  // once connected
    ++conexiones;
  }
  static void Cerrar(Cliente& c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
  }
  const std::uint16_t puerto_;
  const int clientes_;
  std::vector<Cliente> lista_;
};

}  // namespace testing_support

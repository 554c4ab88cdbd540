#include "bench/inundacion.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "web/PaginaWeb.h"

namespace {

// A port of the loopback address nobody listens on now.
std::uint16_t PuertoLibre() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in direccion{};
  direccion.sin_family = AF_INET;
  direccion.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t largo = sizeof direccion;
  std::uint16_t puerto = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&direccion), sizeof direccion) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&direccion), &largo) == 0) {
    puerto = ntohs(direccion.sin_port);
  }
  close(fd);
  return puerto;
}

}  // namespace

TInundacion::TInundacion(TPrograma& programa, int clientes) {
  if (clientes <= 0) return;
  ConectarPaginaWeb(programa);
  std::uint16_t puerto = 0;
  for (int intento = 0; intento < 10 && puerto == 0; ++intento) {
    puerto = PuertoLibre();
    programa.IdHTTPServer->SetPort(puerto);
    if (puerto != 0 && !programa.IdHTTPServer->Activate()) puerto = 0;
  }
  if (puerto == 0) throw std::runtime_error("the status page could not be served on any port");
  goteo_ = std::make_unique<testing_support::Goteo>(puerto, clientes);
  hilo_ = std::thread([this] { goteo_->Correr([this] { return seguir_.load(); }); });
}

void TInundacion::Parar() {
  seguir_ = false;
  if (hilo_.joinable()) hilo_.join();
}

TInundacion::~TInundacion() { Parar(); }

// The status page served while the copy runs, under a flood of clients that trickle their
// requests a byte a second (testing_support::Goteo), so that the copy's time with and without
// them can be compared.
#pragma once

#include <atomic>
#include <thread>

#include "app/TPrograma.h"
#include "tests/support/goteo.h"

class TInundacion {
 public:
  // Serves the page on a free port of this computer and starts `clientes` slow clients; none:
  // nothing is served. Throws when no port can be had.
  TInundacion(TPrograma& programa, int clientes);
  ~TInundacion();
  TInundacion(const TInundacion&) = delete;
  TInundacion& operator=(const TInundacion&) = delete;

  // Ends the flood; what it did stays readable.
  void Parar();
  int Conexiones() const { return goteo_ ? goteo_->conexiones.load() : 0; }
  int Respuestas() const { return goteo_ ? goteo_->respuestas.load() : 0; }

 private:
  std::unique_ptr<testing_support::Goteo> goteo_;
  std::atomic<bool> seguir_{true};
  std::thread hilo_;
};

// A copy run: the work is queued through the program (a drop, an opened copy list), then the
// source and the destinations are followed, from their state events and their snapshots at
// every timer tick, until each destination is done, failed or removed, or a signal cancels
// them the way the window's cancel does.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "cli/Expulsar.h"
#include "cli/Informe.h"
#include "cli/ProgramaCli.h"
#include "cli/Seguido.h"
#include "cli/Senales.h"

class TCorrida {
 public:
  // Listens to the workers' events from now on, so that every change the queueing brings is
  // heard. `expulsar`: each destination is flushed and unmounted once done.
  TCorrida(TProgramaCli& cli, TInforme& informe, TSenales& senales, bool expulsar);
  ~TCorrida();
  TCorrida(const TCorrida&) = delete;
  TCorrida& operator=(const TCorrida&) = delete;

  // Once the work is queued: follows the source and the destinations to the end, reports it,
  // lists the failed destinations on standard error and returns the exit status. The workers
  // are left to the caller to end.
  int Seguir(const std::shared_ptr<TDHilo>& origen,
             const std::vector<std::shared_ptr<TDHilo>>& destinos);

  // True when an eject was still under way when the run stopped waiting for it.
  bool ExpulsionPendiente() const { return expulsion_pendiente_; }

 private:
  void TomarEventos();
  // `seguido`, its snapshot just taken, went into error: told once, by whichever of the state
  // event and the timer's snapshot shows it first; a destination in error stays so.
  void Fallo(TSeguido& seguido);
  void Tic();
  void Comprobar();
  void Terminar(TSeguido& destino);
  void VigilarExpulsiones();
  void Cancelar();
  bool Acabada() const;
  TSeguido* Buscar(const TDHilo* hilo);

  TProgramaCli& cli_;
  TInforme& informe_;
  TSenales& senales_;
  const bool expulsar_;

  // Events as the workers publish them, taken by the main thread; the descriptor wakes it.
  int aviso_ = -1;  // eventfd
  int suscripcion_ = 0;
  std::mutex mutex_;
  std::deque<TEventoEstado> eventos_;  // guarded by mutex_

  // Main thread only.
  TSeguido origen_;
  std::vector<TSeguido> destinos_;
  std::vector<std::unique_ptr<TExpulsion>> expulsiones_;  // index-aligned with destinos_
  std::vector<std::chrono::steady_clock::time_point> limites_expulsion_;
  std::uint64_t vueltas_inicio_ = 0;
  bool origen_quieto_ = false;
  bool origen_perdido_ = false;
  bool expulsion_pendiente_ = false;
  int senal_ = 0;
};

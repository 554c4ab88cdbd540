#include "cli/Corrida.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "cli/Salida.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/locale.h"

namespace {

using Reloj = std::chrono::steady_clock;

// How long an eject may take to flush and unmount before it counts as failed.
constexpr auto kLimiteExpulsion = std::chrono::seconds(60);

}  // namespace

TCorrida::TCorrida(TProgramaCli& cli, TInforme& informe, TSenales& senales, bool expulsar)
    : cli_(cli),
      informe_(informe),
      senales_(senales),
      expulsar_(expulsar),
      aviso_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  // Quick, as a listener must be: the event is kept and the main loop woken.
  suscripcion_ = cli_.Programa().Entorno->Eventos.Suscribir([this](const TEventoEstado& evento) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      eventos_.push_back(evento);
    }
    const std::uint64_t uno = 1;
    if (aviso_ >= 0) {
      [[maybe_unused]] const ssize_t escrito = write(aviso_, &uno, sizeof uno);
    }
  });
}

TCorrida::~TCorrida() {
  cli_.Programa().Entorno->Eventos.Cancelar(suscripcion_);
  if (aviso_ >= 0) close(aviso_);
}

TSeguido* TCorrida::Buscar(const TDHilo* hilo) {
  if (origen_.Hilo.get() == hilo) return &origen_;
  for (TSeguido& d : destinos_) {
    if (d.Hilo.get() == hilo) return &d;
  }
  return nullptr;
}

int TCorrida::Seguir(const std::shared_ptr<TDHilo>& origen,
                     const std::vector<std::shared_ptr<TDHilo>>& destinos) {
  TPrograma& P = cli_.Programa();
  origen_.Hilo = origen;
  origen_.EsOrigen = true;
  origen_.Rec = origen->GetAppRec();
  origen_.Foto = origen->GetInstantanea();
  for (const auto& hilo : destinos) {
    TSeguido seguido;
    seguido.Hilo = hilo;
    seguido.Rec = hilo->GetAppRec();
    seguido.Foto = hilo->GetInstantanea();
    destinos_.push_back(std::move(seguido));
  }
  expulsiones_.resize(destinos_.size());
  limites_expulsion_.resize(destinos_.size());
  // Everything was queued before this: two turns from here, a worker's counters hold it all.
  vueltas_inicio_ = origen->GetVueltas();
  informe_.Inicio(origen_, destinos_);

  // The mount table signals a change (a stick pulled, another one plugged in, our own eject)
  // with POLLPRI; the program's refresh then sees what went.
  const int tabla = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  const auto intervalo = std::chrono::milliseconds(std::max(50u, P.Entorno->IntervaloTimer.load()));
  Reloj::time_point proximo = Reloj::now();
  while (!Acabada()) {
    const auto espera =
        std::chrono::ceil<std::chrono::milliseconds>(proximo - Reloj::now()).count();
    pollfd fds[3] = {{senales_.Descriptor(), POLLIN, 0},
                     {aviso_, POLLIN, 0},
                     {tabla, POLLPRI, 0}};
    const int listos = poll(fds, 3, static_cast<int>(std::max<std::int64_t>(espera, 0)));
    if (listos < 0 && errno != EINTR) std::this_thread::sleep_for(intervalo);
    if (listos > 0 && (fds[0].revents & POLLIN) != 0) {
      senal_ = senales_.Tomar();
      if (senal_ != 0) {
        TomarEventos();
        Cancelar();
        break;
      }
    }
    if (listos > 0 && (fds[1].revents & POLLIN) != 0) {
      std::uint64_t cuenta;
      [[maybe_unused]] const ssize_t leido = read(aviso_, &cuenta, sizeof cuenta);
    }
    TomarEventos();
    if (listos > 0 && (fds[2].revents & (POLLPRI | POLLERR)) != 0) {
      cli_.Actualizar();
      TomarEventos();
      if (P.Entorno->Env->CurrentDrives()->GetDriveType(origen_.Rec.Montaje) ==
          platform::DRIVE_NO_ROOT_DIR) {
        origen_perdido_ = true;
        Avisar("el volumen de origen " + origen_.Rec.Montaje + " ya no está montado");
        Cancelar();
        break;
      }
    }
    if (Reloj::now() >= proximo) {
      Tic();
      proximo += intervalo;
      if (proximo < Reloj::now()) proximo = Reloj::now() + intervalo;
    }
  }
  if (tabla >= 0) close(tabla);

  origen_.Foto = origen_.Hilo->GetInstantanea();
  for (TSeguido& d : destinos_) {
    if (d.Resultado == TResultado::EnCurso || d.Resultado == TResultado::Cancelado) {
      d.Foto = d.Hilo->GetInstantanea();
    }
  }
  const int estado = EstadoCopia(destinos_, senal_, origen_perdido_);
  informe_.Resumen(origen_, destinos_, estado);
  InformarFallos(stderr, destinos_);
  return estado;
}

void TCorrida::TomarEventos() {
  std::deque<TEventoEstado> eventos;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    eventos.swap(eventos_);
  }
  for (const TEventoEstado& evento : eventos) {
    TSeguido* seguido = Buscar(evento.Hilo);
    // A destination that has ended says no more: a stick ejected is then removed, which
    // changes nothing of how it ended.
    if (seguido == nullptr || seguido->Resultado != TResultado::EnCurso) continue;
    informe_.CambioEstado(*seguido, evento.Antes, evento.Ahora);
    if (evento.Ahora == TEstado::Fallido) {
      seguido->Foto = seguido->Hilo->GetInstantanea();
      if (seguido->Foto.LEC == 0) seguido->Foto.LEC = evento.LEC;
      Fallo(*seguido);
    } else if (evento.Ahora == TEstado::Quitado && !seguido->EsOrigen) {
      seguido->Resultado = TResultado::Quitado;
    }
  }
}

void TCorrida::Fallo(TSeguido& seguido) {
  informe_.Error(seguido);
  if (seguido.EsOrigen) return;
  // A destination in error stays so: it only passes its queue through from then on.
  seguido.Resultado = TResultado::Fallido;
  seguido.Error = seguido.Foto.LEC;
  seguido.Archivo = seguido.Foto.Muestra.DNombre;
}

void TCorrida::Tic() {
  TPrograma& P = cli_.Programa();
  P.TimerVTimer();
  origen_.Foto = origen_.Hilo->GetInstantanea();
  for (TSeguido& d : destinos_) {
    if (d.Resultado == TResultado::EnCurso) d.Foto = d.Hilo->GetInstantanea();
  }
  Comprobar();
  VigilarExpulsiones();
  informe_.Tic(origen_, destinos_);
}

// A destination is done once the source has handed out everything (it rests, two turns after
// the work was queued) and the destination, two turns after that, rests too with every byte it
// was given written: done as its state says, or never given anything. Before the source has
// handed out the last record, a destination may rest with its bytes written and still get a
// folder or an empty file.
void TCorrida::Comprobar() {
  const TDHilo& origen = *origen_.Hilo;
  if (!origen_quieto_ && origen.GetVueltas() >= vueltas_inicio_ + 2 && origen.EnReposo()) {
    origen_quieto_ = true;
    for (TSeguido& d : destinos_) d.VueltasOrigenQuieto = d.Hilo->GetVueltas();
  }
  for (TSeguido& d : destinos_) {
    if (d.Resultado != TResultado::EnCurso) continue;
    if (d.Foto.LEC != 0 || d.Foto.Estado == TEstado::Fallido) {
      Fallo(d);
      continue;
    }
    if (d.Foto.Estado == TEstado::Quitado) {
      d.Resultado = TResultado::Quitado;
      continue;
    }
    if (!origen_quieto_ || d.Hilo->GetVueltas() < d.VueltasOrigenQuieto + 2 ||
        !d.Hilo->EnReposo()) {
      continue;
    }
    const TInstantanea foto = d.Hilo->GetInstantanea();
    if (foto.Estado == TEstado::Terminado || (foto.Estado == TEstado::Reposo && foto.DFin == 0)) {
      d.Foto = foto;
      Terminar(d);
    }
  }
}

void TCorrida::Terminar(TSeguido& destino) {
  destino.Resultado = TResultado::Terminado;
  if (!expulsar_) return;
  const std::size_t i = static_cast<std::size_t>(&destino - destinos_.data());
  destino.Expulsado = TExpulsado::EnCurso;
  expulsiones_[i] = std::make_unique<TExpulsion>(destino.Rec.Montaje);
  limites_expulsion_[i] = Reloj::now() + kLimiteExpulsion;
}

void TCorrida::VigilarExpulsiones() {
  for (std::size_t i = 0; i < destinos_.size(); ++i) {
    TSeguido& d = destinos_[i];
    if (d.Expulsado != TExpulsado::EnCurso) continue;
    std::uint32_t error = 0;
    if (expulsiones_[i]->Terminada(&error)) {
      d.Expulsado = error == 0 ? TExpulsado::Si : TExpulsado::Fallo;
      d.ErrorExpulsion = error;
    } else if (Reloj::now() >= limites_expulsion_[i]) {
      // Left to end on its own thread; the stick counts as not ejected.
      d.Expulsado = TExpulsado::Fallo;
      d.ErrorExpulsion = platform::WAIT_TIMEOUT;
      expulsion_pendiente_ = true;
    } else {
      continue;
    }
    informe_.Expulsion(d);
  }
}

bool TCorrida::Acabada() const {
  return std::all_of(destinos_.begin(), destinos_.end(), [](const TSeguido& d) {
    return d.Resultado != TResultado::EnCurso && d.Expulsado != TExpulsado::EnCurso;
  });
}

// As the window's cancel: every destination selected, its queued records withdrawn, and its
// worker handed to the source to be ended; then each is waited for, a bounded time.
void TCorrida::Cancelar() {
  if (senal_ != 0) informe_.Cancelacion(senal_);
  std::vector<std::shared_ptr<TDHilo>> hilos;
  for (const TSeguido& d : destinos_) hilos.push_back(d.Hilo);
  cli_.Seleccionar(hilos);
  TPrograma& P = cli_.Programa();
  P.Aviso.clear();
  P.ToolButtonCancelarClick();
  // What each stick was left without, named as the window names it.
  if (!P.Aviso.empty()) Avisar(platform::ToUtf8(P.Aviso));
  const auto fin = Reloj::now() + cli_.LimiteCierre();
  while (Reloj::now() < fin &&
         !std::all_of(hilos.begin(), hilos.end(), [](const auto& h) { return h->Finished(); })) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (TSeguido& d : destinos_) {
    if (d.Resultado == TResultado::EnCurso) d.Resultado = TResultado::Cancelado;
    if (d.Expulsado == TExpulsado::EnCurso) {
      std::uint32_t error = 0;
      if (expulsiones_[&d - destinos_.data()]->Terminada(&error)) {
        d.Expulsado = error == 0 ? TExpulsado::Si : TExpulsado::Fallo;
        d.ErrorExpulsion = error;
      } else {
        expulsion_pendiente_ = true;
      }
    }
  }
}

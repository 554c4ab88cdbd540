#include "bench/copia_orsanta.h"

#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "engine/Eleccion.h"
#include "app/TPrograma.h"
#include "bench/fin_palo.h"
#include "bench/inundacion.h"
#include "bench/muestreo.h"
#include "bench/sistema.h"
#include "tests/support/vista_simple.h"

namespace {

constexpr auto kSondeo = std::chrono::milliseconds(5);
constexpr double kReposoConfirmado = 1.0;  // s every worker must stay idle after the run
constexpr double kEsperaFinal = 60.0;      // s allowed for that, and for the threads to end

// Done as its row says it: every record written and the stick synced (and read back, when that
// is on).
bool Terminado(const TDHilo& hilo) { return hilo.GetEstado() == TEstado::Terminado; }

// A folder of its own for the settings file, so that the user's settings stay untouched.
class TCarpetaAjustes {
 public:
  TCarpetaAjustes() {
    char plantilla[] = "/tmp/bench_copia_XXXXXX";
    if (mkdtemp(plantilla) == nullptr) throw std::runtime_error("mkdtemp failed");
    ruta_ = plantilla;
  }
  ~TCarpetaAjustes() {
    std::error_code ignorado;
    std::filesystem::remove_all(ruta_, ignorado);
  }
  std::string Archivo() const { return ruta_ + "/ajustes.ini"; }

 private:
  std::string ruta_;
};

// The workers of the sticks, in the farm's order, found by their volume label.
std::vector<std::shared_ptr<TDHilo>> BuscarPalos(const TPrograma& programa, const TGranja& g) {
  std::vector<std::shared_ptr<TDHilo>> palos;
  for (const auto& palo : g.Palos) {
    const std::u16string label(palo.Label.begin(), palo.Label.end());
    const auto es_el = [&label](const auto& hilo) { return hilo->GetAppRec().Nombre == label; };
    const auto it = std::find_if(programa.DList.begin(), programa.DList.end(), es_el);
    if (it == programa.DList.end() ||
        std::find_if(it + 1, programa.DList.end(), es_el) != programa.DList.end()) {
      throw std::runtime_error("no single device row labelled " + palo.Label + " among " +
                               std::to_string(programa.DList.size()) +
                               " rows: is the farm up, and does no other volume carry its "
                               "labels?");
    }
    palos.push_back(*it);
  }
  return palos;
}

void Seleccionar(testing_support::VistaSimple& vista, const TPrograma& programa,
                 const std::vector<std::shared_ptr<TDHilo>>& palos) {
  for (int i = 0; i < vista.Count(); ++i) {
    const bool es_palo = std::find(palos.begin(), palos.end(), programa.DList[i]) != palos.end();
    vista.SetSelected(i, es_palo);
    if (programa.DList[i] == palos.front()) vista.SetItemIndex(i);
  }
}

// Waits until the source and every stick have stayed idle for a while: a stick reported done
// must not get more work afterwards. False on time-out.
bool ConfirmarReposo(const TDHilo& origen, const std::vector<std::shared_ptr<TDHilo>>& palos) {
  const double limite = Ahora() + kEsperaFinal;
  double desde = Ahora();
  while (Ahora() < limite) {
    bool reposo = origen.EnReposo();
    for (const auto& palo : palos) reposo = reposo && Terminado(*palo);
    if (!reposo) desde = Ahora();
    if (Ahora() - desde >= kReposoConfirmado) return true;
    std::this_thread::sleep_for(kSondeo);
  }
  return false;
}

}  // namespace

TResultado CopiarConOrsanta(const TCorrida& c, const TMemoria& memoria, int clientes_lentos,
                            bool verificar) {
  TResultado r;
  r.Herramienta = "Orsanta";
  r.Palos.resize(c.Granja.Palos.size());
  const TInicio inicio = PrepararPalos(c);

  TCarpetaAjustes ajustes;
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.RutaConfiguracion = ajustes.Archivo();
  programa.FormCreate();
  const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  const std::vector<std::shared_ptr<TDHilo>> palos = BuscarPalos(programa, c.Granja);
  Seleccionar(vista, programa, palos);
  programa.Entorno->Verificar = verificar;
  r.Verificar = verificar;
  r.Manifiesto = programa.Entorno->Manifiesto.load();

  // Set once: the engine fixes what it may take when the job starts, whatever other processes
  // do with their memory afterwards.
  if (memoria.presupuesto >= 0) {
    programa.Entorno->MemoriaLibre = Meminfo("MemAvailable") - memoria.presupuesto;
  } else if (memoria.memoria_libre >= 0) {
    programa.Entorno->MemoriaLibre = memoria.memoria_libre;
  }
  r.MemoriaLibre = programa.Entorno->MemoriaLibre;
  r.Presupuesto = std::max<std::int64_t>(0, Meminfo("MemAvailable") - r.MemoriaLibre);
  r.PresupuestoMotor = Presupuesto(*programa.Entorno);

  ReiniciarPicoResidente();
  r.ResidenteInicio = PicoResidente();
  // From the workers' state events: when the source and each stick first start writing, and
  // when each stick, written and synced, first turns to its read-back (or its manifest).
  std::vector<std::atomic<double>> primera(palos.size());
  std::vector<std::atomic<double>> escrito(palos.size());
  for (auto& t : primera) t = -1;
  for (auto& t : escrito) t = -1;
  std::atomic<double> origen_empieza{-1};
  const int suscripcion = programa.Entorno->Eventos.Suscribir([&](const TEventoEstado& e) {
    if (e.Ahora != TEstado::Escribiendo && e.Ahora != TEstado::Verificando) return;
    double sin_marca = -1;
    for (std::size_t i = 0; i < palos.size(); ++i) {
      if (e.Hilo == palos[i].get()) {
        auto& marca = e.Ahora == TEstado::Escribiendo ? primera[i] : escrito[i];
        marca.compare_exchange_strong(sin_marca, Ahora());
        return;
      }
    }
    // Only the source works besides the sticks.
    if (e.Ahora == TEstado::Escribiendo) origen_empieza.compare_exchange_strong(sin_marca, Ahora());
  });
  TInundacion inundacion(programa, clientes_lentos);
  r.ClientesLentos = clientes_lentos;
  // The process's CPU time less the benchmark's own threads (polling, sampling).
  const double cpu0 = SegundosCpu(RUSAGE_SELF);
  const double t0 = Ahora();
  {
    TMuestreo muestreo(c.Medidor, t0, inicio.Palos,
                       [&palos](std::size_t i) { return palos[i]->GetDPos(); }, c.Csv);
    programa.WMDropFiles(c.Rutas);
    r.Arrastre = Ahora() - t0;
    PorPalo(c, [&](std::size_t i) {
      const TDHilo& hilo = *palos[i];
      while (!Terminado(hilo)) {
        if (hilo.GetLEC() != 0) throw std::runtime_error("error " + std::to_string(hilo.GetLEC()));
        if (Ahora() - t0 > c.Limite) throw std::runtime_error("not done in time");
        std::this_thread::sleep_for(kSondeo);
      }
      TerminarPalo(c.Medidor, c.Granja, i, inicio.Palos[i], t0, r.Palos[i]);
      if (verificar && !hilo.GetInstantanea().Comprobacion.Verificado) {
        throw std::runtime_error("done without being verified");
      }
    }, r);
    muestreo.Terminar(r);
    inundacion.Parar();
    r.ConexionesLentas = inundacion.Conexiones();
    r.RespuestasLentas = inundacion.Respuestas();
    // With a flood, its clients' thread is counted too.
    r.Cpu = SegundosCpu(RUSAGE_SELF) - cpu0 - r.CpuArnes;
    r.PicoResidente = PicoResidente();
  }
  programa.Entorno->Eventos.Cancelar(suscripcion);
  for (std::size_t i = 0; i < palos.size(); ++i) {
    if (escrito[i].load() >= 0) r.Palos[i].Escrito = escrito[i].load() - t0;
  }
  for (const auto& t : primera) {
    if (t.load() < 0) continue;
    r.PrimeraEscrituraArrastre = std::max(r.PrimeraEscrituraArrastre, t.load() - t0);
    if (origen_empieza.load() >= 0) {
      r.PrimeraEscritura = std::max(r.PrimeraEscritura, t.load() - origen_empieza.load());
    }
  }
  if (programa.OCopia) r.Releido = programa.OCopia->GetReleido();
  if (!programa.OCopia) {
    r.Fallos.push_back("the drop chose no source");
  } else if (r.Fallos.empty() && !ConfirmarReposo(*programa.OCopia, palos)) {
    r.Fallos.push_back("workers still busy after every stick was reported done");
  }
  CerrarPalos(c, inicio, r);

  programa.FormDestroy();
  const double limite = Ahora() + kEsperaFinal;
  for (const auto& hilo : hilos) {
    while (!hilo->Finished() && Ahora() < limite) std::this_thread::sleep_for(kSondeo);
    if (!hilo->Finished()) r.Fallos.push_back("a worker did not end after FormDestroy");
  }
  return r;
}

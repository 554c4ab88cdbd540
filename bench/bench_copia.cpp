// The copy benchmark: Orsanta and parallel `cp -a` + sync, one after the other on the same stick
// farm (granja.sh), each timed until every stick is synced and then verified.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/copia_cp.h"
#include "bench/copia_orsanta.h"
#include "bench/granja_leida.h"
#include "bench/informe.h"
#include "bench/manifiesto_palo.h"
#include "bench/sistema.h"
#include "bench/verificacion.h"

namespace {

constexpr const char* kUso = R"(usage: bench_copia [options]
  --granja FILE         the farm's description (default /tmp/bench-granja/granja)
  --arrastrar NAME      an entry of the source's root to drop; repeatable (default: all)
  --presupuesto MiB     MemoriaLibre set once at MemAvailable - this
  --memoria-libre MiB   MemoriaLibre itself (default: the program's own default)
  --solo orsanta|cp     run one tool only
  --linea-tiempo PREFIX write PREFIX-orsanta.csv and PREFIX-cp.csv, a sample every 0.5 s
  --limite S            seconds a stick may take (default 3 x physical limit + 120)
  --clientes-lentos N   Orsanta serves its status page to N clients sending a byte a second
  --sin-verificar       Orsanta does not read the sticks back (it still writes the manifest)
  --mbps-dd R           the write rate per stick of dd oflag=direct on every unthrottled stick
                        at once, MB/s: their physical limit (default: none)
)";

struct TOpciones {
  std::string granja = "/tmp/bench-granja/granja";
  std::vector<std::string> arrastrar;
  TMemoria memoria;
  std::string solo;
  std::string linea_tiempo;
  double limite = 0;
  int clientes_lentos = 0;
  bool verificar = true;
  double mbps_dd = 0;
};

TOpciones LeerOpciones(int argc, char** argv) {
  TOpciones o;
  for (int i = 1; i < argc; ++i) {
    const std::string opcion = argv[i];
    if (opcion == "--sin-verificar") {
      o.verificar = false;
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument(opcion);
    const std::string valor = argv[++i];
    if (opcion == "--granja") {
      o.granja = valor;
    } else if (opcion == "--arrastrar") {
      o.arrastrar.push_back(valor);
    } else if (opcion == "--presupuesto") {
      o.memoria.presupuesto = std::stoll(valor) << 20;
    } else if (opcion == "--memoria-libre") {
      o.memoria.memoria_libre = std::stoll(valor) << 20;
    } else if (opcion == "--solo" && (valor == "orsanta" || valor == "cp")) {
      o.solo = valor;
    } else if (opcion == "--linea-tiempo") {
      o.linea_tiempo = valor;
    } else if (opcion == "--limite") {
      o.limite = std::stod(valor);
    } else if (opcion == "--clientes-lentos") {
      o.clientes_lentos = std::stoi(valor);
    } else if (opcion == "--mbps-dd") {
      o.mbps_dd = std::stod(valor);
    } else {
      throw std::invalid_argument(opcion);
    }
  }
  return o;
}

// The entries of the source's root, file system's own folder left out, in name order.
std::vector<std::string> EntradasOrigen(const std::string& raiz) {
  std::vector<std::string> nombres;
  for (const auto& e : std::filesystem::directory_iterator(raiz)) {
    if (e.path().filename() != "lost+found") nombres.push_back(e.path().filename());
  }
  std::sort(nombres.begin(), nombres.end());
  return nombres;
}

std::string EstadoMaquina() {
  std::ifstream carga("/proc/loadavg");
  std::string uno, cinco, quince;
  carga >> uno >> cinco >> quince;
  std::ostringstream texto;
  texto << "load average " << uno << ' ' << cinco << ' ' << quince << ", MemAvailable "
        << Meminfo("MemAvailable") / (1 << 20) << " MiB";
  return texto.str();
}

// Verifies every stick's copy, and the manifest the tool left there; the problems become the
// result's failures.
void VerificarPalos(const TCorrida& c, const TManifiesto& datos, TResultado& r) {
  PorPalo(c, [&](std::size_t i) {
    const std::string& montaje = c.Granja.Palos[i].Montaje;
    std::vector<std::string> problemas;
    if (r.Manifiesto) {
      problemas = Verificar(datos, montaje, {NombreManifiesto()});
      const auto del_manifiesto = VerificarManifiesto(datos, montaje);
      problemas.insert(problemas.end(), del_manifiesto.begin(), del_manifiesto.end());
    } else {
      problemas = Verificar(datos, montaje);
    }
    if (problemas.empty()) return;
    std::string texto = "verification:";
    for (const auto& p : problemas) texto += "\n    " + p;
    throw std::runtime_error(texto);
  }, r);
}

}  // namespace

int main(int argc, char** argv) {
  TOpciones o;
  try {
    o = LeerOpciones(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "bench_copia: bad option " << e.what() << "\n" << kUso;
    return 2;
  }
  try {
    TGranja granja = LeerGranja(o.granja);
    for (auto& palo : granja.Palos) {
      if (palo.BpsEscritura == 0) palo.BpsMedida = static_cast<std::int64_t>(o.mbps_dd * 1e6);
    }
    const TMedidor medidor(granja);
    if (o.arrastrar.empty()) o.arrastrar = EntradasOrigen(granja.Origen.Montaje);

    const std::time_t fecha = std::time(nullptr);
    std::cout << "bench_copia " << std::put_time(std::localtime(&fecha), "%F %T %Z") << "; "
              << EstadoMaquina() << std::endl;
    const TManifiesto datos = Inventariar(granja.Origen.Montaje, o.arrastrar);

    TCorrida c{granja, medidor, {}, o.limite, ""};
    for (const auto& nombre : o.arrastrar) c.Rutas.push_back(granja.Origen.Montaje + "/" + nombre);
    if (c.Limite <= 0) {
      std::int64_t bps = std::numeric_limits<std::int64_t>::max();
      for (const auto& palo : granja.Palos) {
        if (palo.BpsEscritura > 0) bps = std::min(bps, palo.BpsEscritura);
      }
      if (granja.Origen.BpsLectura > 0) bps = std::min(bps, granja.Origen.BpsLectura);
      c.Limite = 3.0 * static_cast<double>(datos.Bytes) / static_cast<double>(bps) + 120;
    }

    std::vector<TResultado> resultados;
    if (o.solo != "cp") {
      if (!o.linea_tiempo.empty()) c.Csv = o.linea_tiempo + "-orsanta.csv";
      resultados.push_back(CopiarConOrsanta(c, o.memoria, o.clientes_lentos, o.verificar));
      VerificarPalos(c, datos, resultados.back());
    }
    if (o.solo != "orsanta") {
      if (!o.linea_tiempo.empty()) c.Csv = o.linea_tiempo + "-cp.csv";
      resultados.push_back(CopiarConCp(c));
      VerificarPalos(c, datos, resultados.back());
    }
    std::cout << "after the runs: " << EstadoMaquina() << "\n";
    Informar(std::cout, granja, datos, resultados);
    for (const auto& r : resultados) {
      if (!r.Fallos.empty()) return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "bench_copia: " << e.what() << '\n';
    return 1;
  }
}

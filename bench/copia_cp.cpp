#include "bench/copia_cp.h"

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "bench/fin_palo.h"
#include "bench/muestreo.h"
#include "bench/sistema.h"

extern char** environ;

namespace {

constexpr int kSondeoMs = 100;

// VmHWM of a running process, bytes; 0 once it has gone.
std::int64_t PicoDe(pid_t pid) {
  std::ifstream estado("/proc/" + std::to_string(pid) + "/status");
  std::string linea;
  while (std::getline(estado, linea)) {
    if (linea.rfind("VmHWM:", 0) == 0) return std::stoll(linea.substr(6)) * 1024;
  }
  return 0;
}

// Runs `cp -a RUTAS... DESTINO/` and waits for it; its peak resident memory, bytes. The peak is
// read from the process while it runs: the one wait4 reports is the spawning process's.
std::int64_t Cp(const std::vector<std::string>& rutas, const std::string& destino) {
  std::vector<std::string> argumentos = {"cp", "-a"};
  argumentos.insert(argumentos.end(), rutas.begin(), rutas.end());
  argumentos.push_back(destino + "/");
  std::vector<char*> argv;
  for (auto& a : argumentos) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int e = posix_spawnp(&pid, "cp", nullptr, nullptr, argv.data(), environ); e != 0) {
    throw std::runtime_error(std::string("cannot start cp: ") + std::strerror(e));
  }
  // Readable when the process ends, so that its end is seen at once between samples.
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  std::int64_t pico = 0;
  pollfd espera{pidfd, POLLIN, 0};
  while (pidfd >= 0 && poll(&espera, 1, kSondeoMs) == 0) pico = std::max(pico, PicoDe(pid));
  if (pidfd >= 0) close(pidfd);
  int estado = 0;
  while (waitpid(pid, &estado, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
  }
  if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0) {
    throw std::runtime_error("cp failed with status " + std::to_string(estado));
  }
  return pico;
}

}  // namespace

TResultado CopiarConCp(const TCorrida& c) {
  TResultado r;
  r.Herramienta = "cp -a";
  r.Palos.resize(c.Granja.Palos.size());
  const TInicio inicio = PrepararPalos(c);

  std::vector<std::int64_t> residentes(c.Granja.Palos.size());
  const double cpu0 = SegundosCpu(RUSAGE_CHILDREN);
  const double t0 = Ahora();
  {
    TMuestreo muestreo(c.Medidor, t0, inicio.Palos, nullptr, c.Csv);
    PorPalo(c, [&](std::size_t i) {
      residentes[i] = Cp(c.Rutas, c.Granja.Palos[i].Montaje);
      TerminarPalo(c.Medidor, c.Granja, i, inicio.Palos[i], t0, r.Palos[i]);
    }, r);
    r.Cpu = SegundosCpu(RUSAGE_CHILDREN) - cpu0;
    r.PicoResidente = *std::max_element(residentes.begin(), residentes.end());
    muestreo.Terminar(r);
  }
  CerrarPalos(c, inicio, r);
  return r;
}

#include "bench/sistema.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

[[noreturn]] void Fallar(const std::string& que) {
  throw std::runtime_error(que + ": " + std::strerror(errno));
}

void Escribir(const char* ruta, const char* texto) {
  std::ofstream archivo(ruta);
  archivo << texto;
  archivo.flush();
  if (!archivo) throw std::runtime_error(std::string("cannot write ") + ruta);
}

// The value of a "Name:   123 kB" line of a /proc file, in bytes.
std::int64_t CampoKb(const char* ruta, const std::string& campo) {
  std::ifstream archivo(ruta);
  std::string linea;
  while (std::getline(archivo, linea)) {
    if (linea.compare(0, campo.size() + 1, campo + ":") != 0) continue;
    std::istringstream valor(linea.substr(campo.size() + 1));
    std::int64_t kb = 0;
    valor >> kb;
    return kb * 1024;
  }
  throw std::runtime_error(std::string("no ") + campo + " in " + ruta);
}

}  // namespace

double Ahora() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SincronizarVolumen(const std::string& montaje) {
  const int fd = open(montaje.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fallar("open " + montaje);
  const int r = syncfs(fd);
  const int error = errno;
  close(fd);
  errno = error;
  if (r != 0) Fallar("syncfs " + montaje);
}

void VaciarVolumen(const std::string& montaje) {
  for (const auto& entrada : std::filesystem::directory_iterator(montaje)) {
    if (entrada.path().filename() != "lost+found") std::filesystem::remove_all(entrada.path());
  }
}

void VaciarCache() {
  sync();
  Escribir("/proc/sys/vm/drop_caches", "3");
}

std::int64_t Meminfo(const char* campo) { return CampoKb("/proc/meminfo", campo); }

std::int64_t Residente() { return CampoKb("/proc/self/status", "VmRSS"); }

std::int64_t PicoResidente() { return CampoKb("/proc/self/status", "VmHWM"); }

void ReiniciarPicoResidente() { Escribir("/proc/self/clear_refs", "5"); }

double SegundosCpuHilo() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) Fallar("clock_gettime");
  return t.tv_sec + t.tv_nsec / 1e9;
}

double SegundosCpu(int quien) {
  rusage uso{};
  if (getrusage(quien, &uso) != 0) Fallar("getrusage");
  auto segundos = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return segundos(uso.ru_utime) + segundos(uso.ru_stime);
}

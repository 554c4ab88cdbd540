#include "bench/verificacion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "bench/sistema.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBloque = 1 << 20;
constexpr std::size_t kProblemasNombrados = 10;

[[noreturn]] void Fallar(const std::string& que, const fs::path& ruta) {
  throw std::runtime_error(que + " " + ruta.string() + ": " + std::strerror(errno));
}

std::uint64_t Mezclar(std::uint64_t h, std::uint64_t palabra) {
  h ^= palabra * 0x9E3779B97F4A7C15ull;
  h = (h << 29) | (h >> 35);
  return h * 0xBF58476D1CE4E5B9ull;
}

// Reads until the buffer is full or the file ends; the number of bytes read.
std::size_t LeerLleno(int fd, char* buf, const fs::path& ruta) {
  std::size_t leidos = 0;
  while (leidos < kBloque) {
    const ssize_t n = read(fd, buf + leidos, kBloque - leidos);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fallar("read", ruta);
    if (n == 0) break;
    leidos += static_cast<std::size_t>(n);
  }
  return leidos;
}

// The engine's fingerprint of a file fed block by block from memory, the CPU of the hashing alone
// counted apart from the reading.
struct THuellaMedida {
  TCalculoHuella Calculo;
  double Cpu = 0;

  void Agregar(const char* datos, std::size_t bytes) {
    const double antes = SegundosCpuHilo();
    Calculo.Agregar(datos, bytes);
    Cpu += SegundosCpuHilo() - antes;
  }
};

// A fast non-cryptographic digest of the file's bytes and length, its blocks also fed to
// `huella` when given. The pages read are dropped from the cache again, so that checking leaves
// memory as it was.
std::uint64_t Resumir(const fs::path& ruta, THuellaMedida* huella = nullptr) {
  const int fd = open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fallar("open", ruta);
  // One buffer per thread: sticks are checked in parallel, and files are many.
  thread_local std::vector<std::uint64_t> palabras(kBloque / sizeof(std::uint64_t));
  char* buf = reinterpret_cast<char*>(palabras.data());
  std::uint64_t h = 0x243F6A8885A308D3ull;
  std::uint64_t total = 0;
  try {
    for (;;) {
      const std::size_t n = LeerLleno(fd, buf, ruta);
      if (huella != nullptr) huella->Agregar(buf, n);
      std::memset(buf + n, 0, (8 - n % 8) % 8);  // the tail as a zero-padded word
      for (std::size_t i = 0; i < (n + 7) / 8; ++i) h = Mezclar(h, palabras[i]);
      total += n;
      if (n < kBloque) break;
    }
  } catch (...) {
    close(fd);
    throw;
  }
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  return Mezclar(h, total);
}

// `huella` given: the contents are digested and fingerprinted.
TEntrada Describir(const fs::path& raiz, const fs::path& ruta, THuellaMedida* huella) {
  struct stat datos{};
  if (lstat(ruta.c_str(), &datos) != 0) Fallar("lstat", ruta);
  TEntrada e;
  e.Relativa = ruta.lexically_relative(raiz);
  e.Carpeta = S_ISDIR(datos.st_mode);
  e.Tiempo = static_cast<std::int64_t>(datos.st_mtim.tv_sec) * 10'000'000 +
             datos.st_mtim.tv_nsec / 100;
  if (!e.Carpeta) {
    if (!S_ISREG(datos.st_mode)) throw std::runtime_error("not a file: " + ruta.string());
    e.Talla = datos.st_size;
    if (huella != nullptr) {
      e.Resumen = Resumir(ruta, huella);
      e.Huella = huella->Calculo.Resultado();
    }
  }
  return e;
}

}  // namespace

TManifiesto Inventariar(const fs::path& raiz, const std::vector<std::string>& nombres) {
  TManifiesto m;
  auto agregar = [&](const fs::path& ruta) {
    THuellaMedida huella;
    m.Entradas.push_back(Describir(raiz, ruta, &huella));
    m.CpuHuellas += huella.Cpu;
    const TEntrada& e = m.Entradas.back();
    if (e.Carpeta) {
      ++m.Carpetas;
    } else {
      ++m.Archivos;
      m.Bytes += e.Talla;
    }
  };
  for (const auto& nombre : nombres) {
    agregar(raiz / nombre);
    if (!fs::is_directory(raiz / nombre)) continue;
    for (const auto& entrada : fs::recursive_directory_iterator(raiz / nombre)) {
      agregar(entrada.path());
    }
  }
  return m;
}

void TProblemas::Anotar(const std::string& problema) {
  if (lineas_.size() < kProblemasNombrados) {
    lineas_.push_back(problema);
  } else {
    ++mas_;
  }
}

std::vector<std::string> TProblemas::Lineas() const {
  std::vector<std::string> lineas = lineas_;
  if (mas_ > 0) lineas.push_back("and " + std::to_string(mas_) + " more");
  return lineas;
}

std::vector<std::string> Verificar(const TManifiesto& manifiesto, const fs::path& destino,
                                   const std::vector<fs::path>& propios) {
  TProblemas problemas;
  for (const TEntrada& fuente : manifiesto.Entradas) {
    const fs::path ruta = destino / fuente.Relativa;
    const std::string nombre = fuente.Relativa.string();
    std::error_code error;
    if (!fs::exists(fs::symlink_status(ruta, error))) {
      problemas.Anotar("missing: " + nombre);
      continue;
    }
    const TEntrada copia = Describir(destino, ruta, nullptr);
    if (copia.Carpeta != fuente.Carpeta) {
      problemas.Anotar("other type: " + nombre);
    } else if (!fuente.Carpeta) {
      if (copia.Talla != fuente.Talla) {
        problemas.Anotar("size " + std::to_string(copia.Talla) + " instead of " +
                         std::to_string(fuente.Talla) + ": " + nombre);
      } else if (copia.Tiempo != fuente.Tiempo) {
        problemas.Anotar("last-write time differs by " +
                         std::to_string((copia.Tiempo - fuente.Tiempo) / 1e7) + " s: " + nombre);
      } else if (Resumir(ruta) != fuente.Resumen) {
        problemas.Anotar("contents differ: " + nombre);
      }
    }
  }
  std::size_t en_destino = 0;
  for (auto it = fs::recursive_directory_iterator(destino); it != fs::end(it); ++it) {
    if (it->path().filename() == "lost+found") {
      it.disable_recursion_pending();
      continue;
    }
    const bool propio = it.depth() == 0 &&
                        std::find(propios.begin(), propios.end(), it->path().filename()) !=
                            propios.end();
    if (!propio) ++en_destino;
  }
  if (en_destino > manifiesto.Entradas.size()) {
    problemas.Anotar(std::to_string(en_destino - manifiesto.Entradas.size()) +
                     " entries the source does not have");
  }
  return problemas.Lineas();
}

// The status server under a flood while a copy runs, in a process allowed 100 threads: 500
// clients that trickle their requests a byte a second, reconnecting when dropped. The program
// must survive (a thread per connection would end it with std::system_error), the page must
// answer, and the copies must arrive whole. The thread limit is a pids cgroup (v2, or the v1
// pids hierarchy); the test skips itself where neither can be used.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/TPrograma.h"
#include "platform/drives.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/goteo.h"
#include "tests/support/granja.h"
#include "tests/support/servidor_local.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"
#include "web/PaginaWeb.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testing_support::Leer;
using Reloj = std::chrono::steady_clock;

constexpr int kLimiteHilos = 100;
constexpr int kClientesLentos = 500;

bool EscribirTexto(const fs::path& ruta, const std::string& texto) {
  std::ofstream archivo(ruta, std::ios::trunc);
  archivo << texto;
  archivo.close();
  return !archivo.fail();
}

// A pids cgroup of its own, with a limit on the tasks (threads) of the processes put in it.
class GrupoPids {
 public:
  explicit GrupoPids(int limite) {
    const std::string nombre = "orsanta-prueba-" + std::to_string(getpid());
    // v2: a cgroup2 hierarchy that offers the pids controller to its children.
    for (const char* raiz : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
      if (Leer(fs::path(raiz) / "cgroup.controllers").find("pids") == std::string::npos) continue;
      EscribirTexto(fs::path(raiz) / "cgroup.subtree_control", "+pids");
      if (Crear(fs::path(raiz) / nombre, limite)) return;
    }
    // v1: the pids hierarchy.
    if (fs::exists("/sys/fs/cgroup/pids/cgroup.procs") &&
        Crear(fs::path("/sys/fs/cgroup/pids") / nombre, limite)) {
      return;
    }
  }
  ~GrupoPids() {
    std::error_code ignorado;
    if (!carpeta_.empty()) fs::remove(carpeta_, ignorado);  // rmdir: empty once its tasks end
  }
  GrupoPids(const GrupoPids&) = delete;
  GrupoPids& operator=(const GrupoPids&) = delete;

  bool ok() const { return !carpeta_.empty(); }
  // Where a process writes "0" to enter the group.
  std::string Procesos() const { return (carpeta_ / "cgroup.procs").string(); }

 private:
  bool Crear(const fs::path& carpeta, int limite) {
    std::error_code error;
    if (!fs::create_directory(carpeta, error) && !fs::exists(carpeta)) return false;
    if (!EscribirTexto(carpeta / "pids.max", std::to_string(limite)) ||
        Leer(carpeta / "pids.max").rfind(std::to_string(limite), 0) != 0) {
      fs::remove(carpeta, error);
      return false;
    }
    carpeta_ = carpeta;
    return true;
  }
  fs::path carpeta_;
};

// The child: copies D\Fotos to E and F again and again, with the status page served, until the
// parent says stop; then says how it ended.
TEST(ServidorCargaHijo, CopiaMientrasLlegan) {
  const char* carpeta_texto = std::getenv("ORSANTA_CARGA");
  if (carpeta_texto == nullptr) GTEST_SKIP() << "run by ServidorCargaTest";
  const fs::path carpeta(carpeta_texto);
  auto tabla = platform::MakeFakeDrives();
  for (const auto& [letra, serie] : {std::pair{'D', 0xD0u}, {'E', 0xE0u}, {'F', 0xF0u}}) {
    tabla->Put({std::u16string(1, static_cast<char16_t>(letra)),
                (carpeta / std::string(1, letra)).string(), u"U", serie,
                platform::DRIVE_REMOVABLE, 512, true});
  }
  platform::SetDrives(tabla);
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.RutaConfiguracion = (carpeta / "Orsanta.cfg").string();
  programa.FormCreate();
  ConectarPaginaWeb(programa);
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);
  ASSERT_EQ(programa.DList.size(), 3u);
  int copias = 0;
  std::string resultado = "ok";
  EscribirTexto(carpeta / "puerto", std::to_string(puerto));
  do {
    for (int i = 0; i < 3; ++i) vista.SetSelected(i, i > 0);
    programa.WMDropFiles({(carpeta / "D" / "Fotos").string()});
    if (!testing_support::EsperarTrabajos(programa.DList, std::chrono::seconds(300))) {
      resultado = "la copia no termino";
      break;
    }
    for (const char* destino : {"E", "F"}) {
      const std::string diferencia = testing_support::CompararArboles(
          (carpeta / "D" / "Fotos").string(), (carpeta / destino / "Fotos").string());
      if (!diferencia.empty()) resultado = diferencia;
      fs::remove_all(carpeta / destino / "Fotos");
    }
    ++copias;
  } while (resultado == "ok" && !fs::exists(carpeta / "parar"));
  EscribirTexto(carpeta / "resultado", resultado + " " + std::to_string(copias));
  std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& hilo : hilos) testing_support::Esperar([&] { return hilo->Finished(); });
  platform::SetDrives(nullptr);
}

TEST(ServidorCargaTest, FiveHundredSlowClientsDuringACopyInAProcessOfAHundredThreads) {
  GrupoPids grupo(kLimiteHilos);
  if (!grupo.ok()) GTEST_SKIP() << "no pids cgroup can be made here";
  testing_support::TempFolder carpeta;
  const fs::path raiz(carpeta.path());
  for (int i = 0; i < 4; ++i) {
    testing_support::EscribirAzar(raiz / "D" / "Fotos" / ("f" + std::to_string(i) + ".bin"),
                                  (8 << 20) + i * 4097, static_cast<unsigned>(i + 1));
  }
  fs::create_directories(raiz / "E");
  fs::create_directories(raiz / "F");

  // Everything the child needs is made before fork: after it, only exec.
  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) variables.emplace_back(*v);
  variables.push_back("ORSANTA_CARGA=" + raiz.string());
  std::vector<char*> entorno;
  for (std::string& v : variables) entorno.push_back(v.data());
  entorno.push_back(nullptr);
  char* const argumentos[] = {const_cast<char*>("servidor_carga_hijo"),
                              const_cast<char*>("--gtest_filter=ServidorCargaHijo.*"), nullptr};
  const std::string procesos = grupo.Procesos();
  const pid_t hijo = fork();
  ASSERT_GE(hijo, 0);
  if (hijo == 0) {
    const int fd = open(procesos.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || write(fd, "0", 1) != 1) _exit(126);
    close(fd);
    execve("/proc/self/exe", argumentos, entorno.data());
    _exit(127);
  }
  const auto Terminar = [&] {
    kill(hijo, SIGKILL);
    waitpid(hijo, nullptr, 0);
  };
  if (!testing_support::Esperar([&] { return fs::exists(raiz / "puerto"); },
                                std::chrono::seconds(60))) {
    Terminar();
    FAIL() << "the child never served its page";
  }
  const std::uint16_t puerto =
      static_cast<std::uint16_t>(std::stoi(Leer(raiz / "puerto")));

  // The flood, and a normal client asking for the page now and then.
  testing_support::Goteo goteo(puerto, kClientesLentos);
  const auto fin = Reloj::now() + std::chrono::seconds(12);
  int paginas = 0, rechazos = 0, sin_respuesta = 0;
  std::thread normal([&] {
    while (Reloj::now() < fin) {
      auto respuesta = testing_support::Cliente(puerto).Get("/");
      if (!respuesta) {
        ++sin_respuesta;
      } else if (respuesta->status == 200 &&
                 respuesta->body.find("Dispositivos conectados") != std::string::npos) {
        ++paginas;
      } else if (respuesta->status == 503) {
        ++rechazos;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  });
  goteo.Correr([&] { return Reloj::now() < fin; });
  normal.join();
  EscribirTexto(raiz / "parar", "1");

  int estado = 0;
  pid_t terminado = 0;
  testing_support::Esperar(
      [&] { return (terminado = waitpid(hijo, &estado, WNOHANG)) == hijo; },
      std::chrono::seconds(400));  // the copy under way ends first; slow under sanitizers
  if (terminado != hijo) {
    Terminar();
    FAIL() << "the child did not end";
  }
  EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0)
      << "the program ended " << (WIFSIGNALED(estado) ? "on a signal " : "with status ")
      << (WIFSIGNALED(estado) ? WTERMSIG(estado) : WEXITSTATUS(estado));
  const std::string resultado = Leer(raiz / "resultado");
  EXPECT_EQ(resultado.rfind("ok ", 0), 0u) << resultado;
  EXPECT_GT(goteo.conexiones, kClientesLentos);
  // Every request got an answer; the page itself came through the flood.
  EXPECT_EQ(sin_respuesta, 0);
  EXPECT_GT(paginas, 0) << rechazos << " refused";
  std::printf("copies %s, slow connections %d, pages %d, refused %d\n", resultado.c_str(),
              goteo.conexiones.load(), paginas, rechazos);
}

}  // namespace

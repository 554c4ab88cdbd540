// A stick is untrusted: whatever stands on it where a folder or a file is to be written (a link
// to elsewhere, a FIFO), and a stick unmounted in the middle of a job, never make the program
// write, wait or delete outside that stick.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/errors.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/granja.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EscribirAzar;
using testing_support::Granja;

std::string Contenido(const fs::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> Entradas(const fs::path& carpeta) {
  std::vector<std::string> nombres;
  for (const auto& e : fs::recursive_directory_iterator(carpeta)) {
    nombres.push_back(fs::relative(e.path(), carpeta).string());
  }
  std::sort(nombres.begin(), nombres.end());
  return nombres;
}

TEST(StickHostil, LinksAndFifosWhereEntriesGoFailThoseSticksAndTouchNothingOutside) {
  Granja granja({512}, {{512}, {512}, {512}, {512}, {512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "a/grande.bin", (3 << 20) + 5, 1);
  EscribirAzar(raiz / "b.bin", 7000, 2);
  testing_support::TempFolder fuera;
  const fs::path victima = fs::path(fuera.path()) / "victima.txt";
  std::ofstream(victima) << "intacto";
  const std::vector<std::string> antes = Entradas(fuera.path());

  struct Caso {
    std::function<void(const fs::path&)> preparar;
    platform::ErrorCode codigo;
  };
  const std::vector<Caso> casos = {
      {[&](const fs::path& s) { fs::create_directory_symlink(fuera.path(), s / "a"); },
       platform::ERROR_CANT_RESOLVE_FILENAME},
      {[&](const fs::path& s) { fs::create_symlink(victima, s / "b.bin"); },
       platform::ERROR_CANT_RESOLVE_FILENAME},
      {[&](const fs::path& s) { ASSERT_EQ(mkfifo((s / "b.bin").c_str(), 0666), 0); },
       platform::ERROR_ACCESS_DENIED},
      // At the checksum file's name, written last, once the copy is verified.
      {[&](const fs::path& s) { fs::create_symlink(victima, s / "orsanta.xxh128"); },
       platform::ERROR_CANT_RESOLVE_FILENAME},
  };
  for (size_t i = 0; i < casos.size(); ++i) casos[i].preparar(granja.RaizDestino(i));
  granja.Encolar();

  // Nothing blocks: every stick ends, failed or done.
  ASSERT_TRUE(granja.EsperarFin(std::chrono::seconds(60)));
  for (size_t i = 0; i < casos.size(); ++i) {
    EXPECT_EQ(granja.destinos[i]->GetLEC(), casos[i].codigo) << i;
    EXPECT_EQ(granja.destinos[i]->GetEstado(), TEstado::Fallido) << i;
  }
  EXPECT_TRUE(fs::is_symlink(fs::path(granja.RaizDestino(0)) / "a"));
  EXPECT_TRUE(fs::is_symlink(fs::path(granja.RaizDestino(1)) / "b.bin"));
  EXPECT_TRUE(fs::is_fifo(fs::path(granja.RaizDestino(2)) / "b.bin"));
  EXPECT_TRUE(fs::is_symlink(fs::path(granja.RaizDestino(3)) / "orsanta.xxh128"));
  EXPECT_EQ(Entradas(fuera.path()), antes);
  EXPECT_EQ(Contenido(victima), "intacto");
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(4)), "");
}

// Unmounted in the middle of a file, the stick is still the one written: nothing goes into the
// bare folder it was mounted on.
TEST(StickHostil, AStickUnmountedMidJobIsNotReplacedByItsMountFolder) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "uno.bin", (5 << 20) + 3, 1);
  EscribirAzar(raiz / "luego/dos.bin", 9000, 2);
  testing_support::FallosTransferencia fallos;
  const std::string montaje = granja.RaizDestino(0);
  fallos.Colgar(montaje);
  granja.Encolar();
  ASSERT_TRUE(testing_support::Esperar([&] { return fallos.colgadas() >= 1; }));
  ASSERT_TRUE(granja.VolumenDestino(0).UnmountLazily());
  fallos.Liberar();
  ASSERT_TRUE(granja.EsperarFin(std::chrono::seconds(60)));
  EXPECT_TRUE(fs::is_empty(montaje)) << Entradas(montaje).front();
}

}  // namespace

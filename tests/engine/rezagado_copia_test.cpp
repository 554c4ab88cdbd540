// A stick that does not move among sticks that do: the source detaches it from the file it is
// reading, even in the middle of it, and reads the rest again for it later, so that the others
// finish while it is still held, and every stick ends with the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/memory.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
constexpr std::int64_t MiB = 1LL << 20;

// Bytes that differ at every offset, so that a block written at the wrong place shows.
std::string Datos(std::int64_t talla, int semilla = 0) {
  std::string datos(static_cast<std::size_t>(talla), '\0');
  for (std::int64_t i = 0; i < talla; ++i)
    datos[i] = static_cast<char>((i * 7) ^ (i >> 13) ^ semilla);
  return datos;
}

void Escribir(const fs::path& ruta, std::int64_t talla) {
  fs::create_directories(ruta.parent_path());
  std::ofstream(ruta, std::ios::binary) << Datos(talla);
}

std::string Leer(const fs::path& ruta) {
  std::ifstream archivo(ruta, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(archivo), {});
}

class RezagadoCopiaTest : public ::testing::Test {
 protected:
  // 64 MiB available and 48 to be left free: a pool of 8 blocks, and a budget of 8 MiB of
  // backlog. A held write is no failure here, however long it is held.
  void Preparar(testing_support::Granja& granja) {
    platform::SetMemoryStatusForTests([] { return platform::MemoryStatus{50, 1ULL << 34, 64 * MiB}; });
    granja.entorno->MemoriaLibre = 48 * MiB;
    granja.entorno->TiempoError = 600000;
    const fs::path origen = granja.RaizOrigen();
    Escribir(origen / "grande.bin", 24 * MiB);
    Escribir(origen / "medio.bin", 5 * MiB + 1234);
    for (int i = 0; i < 3; ++i) Escribir(origen / "sub" / ("p" + std::to_string(i) + ".txt"), 3000);
  }
  void TearDown() override { platform::SetMemoryStatusForTests(nullptr); }
};

TEST_F(RezagadoCopiaTest, TheOthersFinishWhileOneStickIsHeldAndEveryStickEndsIdentical) {
  for (const std::size_t lento : {std::size_t{0}, std::size_t{2}}) {
    SCOPED_TRACE("held stick: " + std::to_string(lento));
    testing_support::Granja granja({512}, {{512}, {512}, {4096}});
    if (!granja.ok()) GTEST_SKIP() << granja.error();
    Preparar(granja);
    testing_support::FallosTransferencia fallos;
    fallos.Colgar(granja.RaizDestino(lento) + "/");
    fallos.ContarLecturas(granja.RaizOrigen() + "/");
    granja.Encolar();

    const bool otros_terminados = testing_support::Esperar(
        [&] {
          for (std::size_t i = 0; i < granja.destinos.size(); ++i) {
            if (i != lento && granja.destinos[i]->GetEstado() != TEstado::Terminado) return false;
          }
          return true;
        },
        std::chrono::seconds(120));
    const TEstado estado_lento = granja.destinos[lento]->GetEstado();
    const std::int64_t trabajo = granja.destinos[lento]->GetDFin();
    fallos.Liberar();
    EXPECT_TRUE(otros_terminados);
    EXPECT_NE(estado_lento, TEstado::Terminado);

    ASSERT_TRUE(granja.EsperarFin());
    for (std::size_t i = 0; i < granja.destinos.size(); ++i) {
      EXPECT_EQ(granja.destinos[i]->GetEstado(), TEstado::Terminado) << i;
      EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
          << i;
    }
    // Its copies matched the fingerprints at the first read-back: none was made again.
    EXPECT_EQ(granja.destinos[lento]->GetDFin(), trabajo);
    // The held stick's part was read again, and the source says how much it read again: all it
    // read beyond the data once (read in whole sectors: the last of each file's reads is rounded
    // up). Which other sticks lag too, and by how much, depends on the machine's load.
    const std::int64_t una_vez = 24 * MiB + (5 * MiB + 1536) + 3 * 3072;
    const std::int64_t releido = granja.origen->GetReleido();
    EXPECT_GT(releido, 0);
    EXPECT_NEAR(static_cast<double>(fallos.bytes_leidos() - una_vez),
                static_cast<double>(releido), 16 * 512);
  }
}

// The held stick's rest of a file is read after the file changed under the same size and time:
// the fingerprint the first read took no longer matches, so the copy is not verified as it
// stands. It is made anew, whole, as the file is then; the sticks that had the whole file
// before keep it as it was.
TEST_F(RezagadoCopiaTest, AFileChangedBeforeItsRestIsReadAgainIsNeverVerifiedHalfAndHalf) {
  testing_support::Granja granja({512}, {{512}, {512}, {512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  Preparar(granja);
  const fs::path grande = fs::path(granja.RaizOrigen()) / "grande.bin";
  const std::string antes = Leer(grande);
  testing_support::FallosTransferencia fallos;
  fallos.Colgar(granja.RaizDestino(0) + "/");
  granja.Encolar();
  ASSERT_TRUE(testing_support::Esperar(
      [&] {
        return granja.destinos[1]->GetEstado() == TEstado::Terminado &&
               granja.destinos[2]->GetEstado() == TEstado::Terminado;
      },
      std::chrono::seconds(120)));

  // Its second half changes; its size and last-write time stay.
  const auto hora = fs::last_write_time(grande);
  std::string despues = antes;
  const std::string otros = Datos(12 * MiB, 0x5a);
  despues.replace(12 * MiB, otros.size(), otros);
  std::ofstream(grande, std::ios::binary | std::ios::trunc) << despues;
  fs::last_write_time(grande, hora);
  fallos.Liberar();

  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(granja.destinos[0]->GetEstado(), TEstado::Terminado);
  EXPECT_TRUE(Leer(fs::path(granja.RaizDestino(0)) / "grande.bin") == despues);
  for (std::size_t i : {std::size_t{1}, std::size_t{2}}) {
    EXPECT_TRUE(Leer(fs::path(granja.RaizDestino(i)) / "grande.bin") == antes) << i;
  }
}

}  // namespace

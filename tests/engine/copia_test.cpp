// Whole copies on real file systems: one source, three destinations (one with 4096-byte
// sectors while the source has 512), every destination byte-identical at the end.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <filesystem>
#include <fstream>

#include "platform/memory.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EscribirAzar;
using testing_support::Granja;

// An old last-write time with seconds and a fraction, so that a copy must carry it over.
void Envejecer(const fs::path& ruta) {
  const struct timeval tiempos[2] = {{1500000000, 250000}, {1400000017, 123456}};
  ASSERT_EQ(utimes(ruta.c_str(), tiempos), 0) << ruta;
}

class CopiaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buffers_antes = platform::BuffersHeld();
  }
  std::int64_t buffers_antes = 0;
};

TEST_F(CopiaTest, EveryDestinationEndsIdenticalToTheSource) {
  Granja granja({512, 512LL << 20}, {{512, 512LL << 20}, {512, 512LL << 20}, {4096, 512LL << 20}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path raiz = granja.RaizOrigen();
  const std::int64_t MiB = 1 << 20;
  const struct {
    const char* nombre;
    std::int64_t talla;
  } archivos[] = {
      {"vacio.txt", 0},
      {"uno.bin", 1},
      {"casi dos.bin", 2 * MiB - 1},
      {"exacto cuatro.bin", 4 * MiB},
      {"dos y uno.bin", 2 * MiB + 1},
      {"grande/película grande.bin", 150 * MiB + 12345},
      {"carpeta con espacios/año ñandú.txt", 4097},
      {"sin\xff" "utf8/\xfe" "nombre.dat", 777},
  };
  unsigned semilla = 1;
  for (const auto& a : archivos) EscribirAzar(raiz / a.nombre, a.talla, semilla++);
  fs::create_directories(raiz / "vacía/dentro/más");
  std::string profundo = "p";
  fs::path ruta_profunda = raiz;
  for (int nivel = 0; nivel < 30; ++nivel) ruta_profunda /= "carpeta_profunda_" + std::to_string(nivel);
  EscribirAzar(ruta_profunda / "hoja.bin", 3000, 99);
  ASSERT_GT(fs::relative(ruta_profunda / "hoja.bin", raiz).string().size(), 260u);
  EscribirAzar(raiz / "solo lectura.bin", 5000, 7);
  for (const auto& a : archivos) Envejecer(raiz / a.nombre);
  Envejecer(raiz / "solo lectura.bin");
  fs::permissions(raiz / "solo lectura.bin", fs::perms::owner_read | fs::perms::group_read);

  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
        << "destination " << i;
    EXPECT_EQ(granja.destinos[i]->GetLEC(), 0u);
    EXPECT_EQ(granja.destinos[i]->GetDPos(), granja.destinos[i]->GetDFin());
  }
  EXPECT_EQ(granja.origen->GetDPos(), granja.origen->GetDFin());
  EXPECT_TRUE(testing_support::Esperar([&] { return platform::BuffersHeld() == buffers_antes; }))
      << platform::BuffersHeld() - buffers_antes << " block buffers never released";
}

}  // namespace

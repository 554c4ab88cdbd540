// A hub of 32 sticks and a source, more drives than the letters D to Z can name, each a real
// loop-mounted volume: one refresh lists them all, one drop copies to every stick, and every
// stick ends byte-identical to the source.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/LineaDispositivo.h"
#include "app/TPrograma.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/granja.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::UnidadesEnVolumenes;

constexpr std::size_t kSticks = 32;

class ConcentradorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Named by the table in this order: D for the source, then E to Z and AA on.
    std::vector<UnidadesEnVolumenes::Unidad> lista = {{u"", u"FUENTE", 0xD0}};
    for (std::size_t i = 0; i < kSticks; ++i) {
      // Hubs mix sticks of both sector sizes.
      lista.push_back({u"", u"STICK", static_cast<std::uint32_t>(0x1000 + i),
                       i % 8 == 7 ? 4096u : 512u});
    }
    unidades = std::make_unique<UnidadesEnVolumenes>(lista);
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
  }
  void TearDown() override {
    // Every worker ends before the volumes are unmounted, which they could not be while a copy
    // still held a file open on them.
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }

  std::unique_ptr<UnidadesEnVolumenes> unidades;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(ConcentradorTest, OneDropCopiesToThirtyTwoSticksByteForByte) {
  const fs::path fuente = unidades->Raiz(unidades->Letras().front());
  // A little over 2 MiB: one file spans two blocks, one is empty, one name is not UTF-8.
  testing_support::EscribirAzar(fuente / "Fotos/a.bin", (2 << 20) + 17, 1);
  testing_support::EscribirAzar(fuente / "Fotos/b.txt", 1000, 2);
  testing_support::EscribirAzar(fuente / "Fotos/vacio.txt", 0, 3);
  testing_support::EscribirAzar(fuente / "Fotos/sub/c.bin", 70000, 4);
  testing_support::EscribirAzar(fuente / "Fotos/sin\xff" "utf8.dat", 513, 5);

  programa.FormCreate();
  ASSERT_EQ(programa.DList.size(), kSticks + 1);
  ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  std::vector<std::u16string> letras;
  for (const auto& hilo : programa.DList) letras.push_back(hilo->GetAppRec().Letra);
  EXPECT_EQ(letras, unidades->Letras());  // rows in the order of the names: Z before AA
  EXPECT_EQ(letras.back(), u"AJ");
  EXPECT_EQ(LineaDispositivo(programa.DList.back()->GetInstantanea()).rfind(u"STICK (AJ) ", 0),
            0u);

  // Every stick selected, the source's folder dropped once.
  for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, i != 0);
  programa.WMDropFiles({(fuente / "Fotos").string()});
  ASSERT_EQ(programa.OCopia, programa.DList.front());
  ASSERT_TRUE(testing_support::EsperarTrabajos(programa.DList));

  for (std::size_t i = 1; i < programa.DList.size(); ++i) {
    const TDHilo& stick = *programa.DList[i];
    const std::string letra(letras[i].begin(), letras[i].end());
    EXPECT_EQ(stick.GetLEC(), 0u) << letra;
    EXPECT_EQ(testing_support::CompararArboles((fuente / "Fotos").string(),
                                               stick.GetAppRec().Montaje + "/Fotos"),
              "")
        << letra;
  }
}

}  // namespace

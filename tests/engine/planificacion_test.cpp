// Planning a record into its chain of source operations, with block sizes and progress figures.
#include <gtest/gtest.h>

#include "engine/Planificacion.h"
#include "engine/TDHilo.h"
#include "tests/support/esperar.h"

namespace {

constexpr std::int64_t MiB = 1LL << 20;

struct Bloque {
  std::int64_t fpos, bufbytes, bloque;
  TFStr fstr;
};

class PlanificacionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    origen = TDHilo::Create(std::make_shared<TEntorno>());
    origen->SetAppRec({u"FUENTE", u"D", 1, 512, 4096});
    ASSERT_TRUE(testing_support::Esperar([&] { return origen->GetHRec().ID == 1; }));
  }
  void TearDown() override {
    origen->Terminate();
    testing_support::Esperar([&] { return origen->Finished(); });
  }
  std::deque<std::unique_ptr<TEspera>> Planificar(std::int64_t talla, std::uint32_t atributos = 0) {
    TFRec rec;
    rec.ONombre = u"x\\a.bin";
    rec.DNombre = u"a.bin";
    rec.Talla = talla;
    rec.Atributos = atributos;
    rec.Tiempo = {1, 2, 3};
    rec.DList = destinos;
    std::deque<std::unique_ptr<TEspera>> cola;
    LlenarIOList(rec, *origen, cola);
    return cola;
  }
  // Checks an open, the blocks and a close.
  void ComprobarArchivo(const std::deque<std::unique_ptr<TEspera>>& cola, std::int64_t talla,
                        const std::vector<Bloque>& bloques) {
    ASSERT_EQ(cola.size(), bloques.size() + 2);
    ASSERT_TRUE(dynamic_cast<TAbrirArchivo*>(cola.front().get()));
    EXPECT_EQ(cola.front()->FTalla, talla);
    for (size_t i = 0; i < bloques.size(); ++i) {
      const auto* leer = dynamic_cast<TLeerArchivo*>(cola[i + 1].get());
      ASSERT_TRUE(leer) << i;
      EXPECT_EQ(leer->FPos, bloques[i].fpos) << i;
      EXPECT_EQ(leer->BufBytes, bloques[i].bufbytes) << i;
      EXPECT_EQ(leer->Bloque, bloques[i].bloque) << i;
      EXPECT_EQ(leer->FStr, bloques[i].fstr) << i;
      EXPECT_EQ(leer->ORec.Offset, static_cast<std::uint32_t>(bloques[i].fpos)) << i;
      EXPECT_EQ(leer->Buf, nullptr);  // buffers come only when a block is about to be read
    }
    const auto* cerrar = dynamic_cast<TCerrarArchivo*>(cola.back().get());
    ASSERT_TRUE(cerrar);
    EXPECT_EQ(cerrar->FPos, talla);
  }

  std::shared_ptr<TDHilo> origen;
  std::vector<TIdDestino> destinos{16, 32, 48};
};

TEST_F(PlanificacionTest, FolderAndEmptyFileAreOneOperation) {
  auto carpeta = Planificar(999, platform::FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_EQ(carpeta.size(), 1u);
  EXPECT_EQ(typeid(*carpeta.front()), typeid(TAbrirCarpeta));
  EXPECT_EQ(carpeta.front()->FTiempo.ETiempo, 3u);
  auto vacio = Planificar(0);
  ASSERT_EQ(vacio.size(), 1u);
  EXPECT_EQ(typeid(*vacio.front()), typeid(TAbrirArchivoVacio));
  EXPECT_EQ(vacio.front()->FStr, TFStr{});
}

TEST_F(PlanificacionTest, BlocksAreTwoMebibytesAndTheLastIsRoundedToSectors) {
  ComprobarArchivo(Planificar(1), 1, {{0, 512, 4096, {1, 0}}});
  ComprobarArchivo(Planificar(4 * MiB), 4 * MiB,
                   {{0, 2 * MiB, 2 * MiB, {4 * MiB, 0}}, {2 * MiB, 2 * MiB, 2 * MiB, {4 * MiB, 50}}});
  ComprobarArchivo(Planificar(2 * MiB + 1), 2 * MiB + 1,
                   {{0, 2 * MiB, 2 * MiB, {2 * MiB + 1, 0}}, {2 * MiB, 512, 4096, {2 * MiB + 1, 99}}});
  auto cola = Planificar(2 * MiB - 1);
  EXPECT_EQ(cola.front()->FStr, (TFStr{2 * MiB - 1, -1}));
  EXPECT_EQ(cola.back()->FStr, (TFStr{2 * MiB - 1, 100}));
}

TEST_F(PlanificacionTest, EveryOperationCarriesTheSameDestinationsInOrder) {
  for (const auto& op : Planificar(5 * MiB)) {
    std::vector<TIdDestino> lista;
    op->LlenarDList(lista);
    EXPECT_EQ(lista, destinos);
  }
}

}  // namespace

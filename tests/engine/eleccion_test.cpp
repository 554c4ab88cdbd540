// The source's choice of record and the split of lagging destinations, on real workers whose
// backlogs are set by queuing buffers on them.
#include "engine/Eleccion.h"

#include <gtest/gtest.h>

#include "engine/TDHilo.h"
#include "platform/memory.h"
#include "tests/support/esperar.h"

namespace {

constexpr std::int64_t MiB = 1LL << 20;
constexpr std::int64_t GiB = 1LL << 30;

class EleccionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (auto& h : hilos) h->Terminate();
    for (auto& h : hilos) testing_support::Esperar([&] { return h->Finished(); });
  }
  // A worker without a role never takes from its queue: its backlog stays as queued.
  TIdDestino ConAtraso(std::int64_t atraso) {
    hilos.push_back(TDHilo::Create(entorno));
    if (atraso != 0) {
      auto op = std::make_unique<TEspera>();
      op->Cache = atraso;
      hilos.back()->AgregarIO(std::move(op));
    }
    return hilos.back()->GetId();
  }
  std::unique_ptr<TFRec> Registro(std::vector<TIdDestino> destinos,
                                  std::int64_t talla = 10 * MiB) {
    auto rec = std::make_unique<TFRec>();
    rec->ONombre = rec->DNombre = u"a.bin";
    rec->Talla = talla;
    rec->DList = std::move(destinos);
    return rec;
  }

  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  std::vector<std::shared_ptr<TDHilo>> hilos;
  // The backlog of a worker made here, as the source reads it through its table.
  const TAtraso atraso = [this](TIdDestino id) -> std::int64_t {
    for (const auto& h : hilos) {
      if (h->GetId() == id) return h->GetCache();
    }
    return 0;
  };
};

TEST_F(EleccionTest, ChoosesTheFirstRecordWhoseFirstDestinationIsBelowTheBudget) {
  const TIdDestino lleno = ConAtraso(2 * GiB);
  const TIdDestino libre1 = ConAtraso(0);
  const TIdDestino libre2 = ConAtraso(0);
  std::deque<std::unique_ptr<TFRec>> cola;
  cola.push_back(Registro({lleno}));
  cola.push_back(Registro({libre1}));
  cola.push_back(Registro({libre2}));
  EXPECT_EQ(ElegirPosicion(cola, 1 * GiB, atraso), 1u);
  // Nobody below the budget: the first record.
  EXPECT_EQ(ElegirPosicion(cola, 0, atraso), 0u);
  std::deque<std::unique_ptr<TFRec>> todos_llenos;
  todos_llenos.push_back(Registro({lleno}));
  todos_llenos.push_back(Registro({lleno}));
  EXPECT_EQ(ElegirPosicion(todos_llenos, 1 * GiB, atraso), 0u);
  // Every first destination full: the first record that another destination is waiting for.
  std::deque<std::unique_ptr<TFRec>> primero_lleno;
  primero_lleno.push_back(Registro({lleno}));
  primero_lleno.push_back(Registro({lleno, lleno}));
  primero_lleno.push_back(Registro({lleno, libre1}));
  primero_lleno.push_back(Registro({lleno, libre2}));
  EXPECT_EQ(ElegirPosicion(primero_lleno, 1 * GiB, atraso), 2u);
}

TEST_F(EleccionTest, LaggardsOfTheFileBeingRead) {
  const TIdDestino w0 = ConAtraso(0);
  const TIdDestino w4 = ConAtraso(4 * MiB);
  const TIdDestino w10 = ConAtraso(10 * MiB);
  const TIdDestino w12 = ConAtraso(12 * MiB);
  struct Caso {
    const char* nombre;
    std::vector<TIdDestino> destinos;
    std::int64_t B;
    bool espera_otro;
    std::vector<TIdDestino> fuera;
  };
  const Caso casos[] = {
      {"lagging the least by B or more", {w0, w10, w4, w12}, 8 * MiB, false, {w10, w12}},
      {"exactly B behind goes", {w4, w12}, 8 * MiB, false, {w12}},
      {"all equally far behind: none", {w10, w10}, 8 * MiB, true, {}},
      {"the only one, another waiting", {w10}, 8 * MiB, true, {w10}},
      {"the only one, nobody else waiting", {w10}, 8 * MiB, false, {}},
      {"the only one, below B", {w4}, 8 * MiB, true, {}},
      {"budget of 0", {w0, w12}, 0, true, {}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    EXPECT_EQ(Rezagados(c.destinos, c.B, atraso, c.espera_otro), c.fuera);
  }
}

TEST_F(EleccionTest, SplitsOffADestinationFurtherBehindThanTheFile) {
  const TIdDestino w1 = ConAtraso(0);
  const TIdDestino w2 = ConAtraso(50 * MiB);
  const TIdDestino w3 = ConAtraso(0);
  auto R = Registro({w1, w2, w3});
  auto R2 = SepararRezagados(*R, 1 * GiB, atraso);
  ASSERT_TRUE(R2);
  EXPECT_EQ(R->DList, (std::vector<TIdDestino>{w1, w3}));
  EXPECT_EQ(R2->DList, std::vector<TIdDestino>{w2});
  EXPECT_EQ(R2->ONombre, R->ONombre);
  EXPECT_EQ(R2->Talla, R->Talla);
  // A larger file than the lag keeps everybody together.
  auto grande = Registro({w1, w2, w3}, 100 * MiB);
  EXPECT_FALSE(SepararRezagados(*grande, 1 * GiB, atraso));
  EXPECT_EQ(grande->DList.size(), 3u);
}

TEST_F(EleccionTest, SplitDestinationsComeInReverseOrderAndTheFirstNeverGoes) {
  const TIdDestino w1 = ConAtraso(0);
  const TIdDestino w2 = ConAtraso(50 * MiB);
  const TIdDestino w3 = ConAtraso(0);
  const TIdDestino w4 = ConAtraso(50 * MiB);
  auto R = Registro({w1, w2, w3, w4});
  auto R2 = SepararRezagados(*R, 1 * GiB, atraso);
  ASSERT_TRUE(R2);
  EXPECT_EQ(R2->DList, (std::vector<TIdDestino>{w4, w2}));
  EXPECT_EQ(R->DList, (std::vector<TIdDestino>{w1, w3}));
  // The reference is the first backlog below the budget (w2's 50 MiB here), and the first
  // destination stays even when it lags.
  auto R_b = Registro({w2, w1, w4}, 5 * MiB);
  EXPECT_FALSE(SepararRezagados(*R_b, 1 * GiB, atraso));
  auto R_c = Registro({w4, w1, w2}, 5 * MiB);
  auto R2_c = SepararRezagados(*R_c, 40 * MiB, atraso);  // reference: w1's 0
  ASSERT_TRUE(R2_c);
  EXPECT_EQ(R2_c->DList, std::vector<TIdDestino>{w2});
  EXPECT_EQ(R_c->DList, (std::vector<TIdDestino>{w4, w1}));
}

TEST_F(EleccionTest, BudgetIsHalfOfWhatThePoolMayLendInTheJob) {
  std::uint64_t disponible = 5 * GiB;
  platform::SetMemoryStatusForTests(
      [&] { return platform::MemoryStatus{50, 16 * GiB, disponible}; });
  entorno->MemoriaLibre = 1 * GiB;
  EXPECT_EQ(Presupuesto(*entorno), 2 * GiB);
  // Memory that other processes free during the job does not raise it.
  disponible = 9 * GiB;
  EXPECT_EQ(Presupuesto(*entorno), 2 * GiB);
  // The next job fixes its own; with no more available than is to be left free, it is 0.
  entorno->Bloques->Recortar();
  disponible = 1 * GiB;
  EXPECT_EQ(Presupuesto(*entorno), 0);
  platform::SetMemoryStatusForTests(nullptr);
}

TEST_F(EleccionTest, ZeroBudgetTakesTheLastDestinationAsReference) {
  const TIdDestino w1 = ConAtraso(4 * MiB);
  const TIdDestino w2 = ConAtraso(30 * MiB);
  const TIdDestino w3 = ConAtraso(2 * MiB);
  auto R = Registro({w1, w2, w3}, 1 * MiB);
  // Reference: w3's 2 MiB; w2 lags by 28 MiB, more than the budget of 0: split off. w3 itself
  // is not behind its own backlog.
  auto R2 = SepararRezagados(*R, 0, atraso);
  ASSERT_TRUE(R2);
  EXPECT_EQ(R2->DList, std::vector<TIdDestino>{w2});
  EXPECT_EQ(R->DList, (std::vector<TIdDestino>{w1, w3}));
}

}  // namespace

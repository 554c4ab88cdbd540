// The source's choice of record and the split of lagging destinations, on real workers whose
// backlogs are set by queuing buffers on them.
#include "engine/Eleccion.h"

#include <gtest/gtest.h>

#include "engine/TDHilo.h"
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

TEST_F(EleccionTest, BudgetFromTheMemorySettings) {
  entorno->MemoriaTotal = 8 * GiB;
  entorno->MemoriaLibre = 2 * GiB;
  EXPECT_EQ(Presupuesto(*entorno), 3 * GiB);
  // Less memory than what is to be left free: a budget no backlog reaches.
  entorno->MemoriaTotal = GiB / 2;
  entorno->MemoriaLibre = GiB;
  EXPECT_GT(Presupuesto(*entorno), 1LL << 62);
  entorno->MemoriaTotal = GiB;
  EXPECT_EQ(Presupuesto(*entorno), 0);
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

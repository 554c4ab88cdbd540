// The states a worker publishes, in its snapshot and as events, as work comes, ends or fails.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "engine/TDHilo.h"
#include "platform/errors.h"
#include "tests/support/hilos_prueba.h"

namespace {

using testing_support::Esperar;
using testing_support::HilosPrueba;
using testing_support::OperacionInmediata;

class EstadosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clave = entorno->Eventos.Suscribir([this](const TEventoEstado& evento) {
      std::lock_guard<std::mutex> lock(mutex);
      eventos.push_back(evento);
    });
  }
  void TearDown() override { entorno->Eventos.Cancelar(clave); }

  // The states one drive went through, from the events, in order.
  std::vector<TEstado> De(std::uint32_t serie) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<TEstado> estados;
    for (const auto& evento : eventos) {
      if (evento.Serie != serie) continue;
      if (estados.empty()) estados.push_back(evento.Antes);
      EXPECT_EQ(evento.Antes, estados.back());  // no change is missed
      estados.push_back(evento.Ahora);
    }
    return estados;
  }

  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  HilosPrueba hilos{entorno};
  std::mutex mutex;
  std::vector<TEventoEstado> eventos;  // guarded by mutex
  int clave = 0;
};

TEST_F(EstadosTest, QueuedWorkIsWrittenThenDone) {
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto destino = hilos.Destino({u"STICK", u"E", 2, 512, 4096});
  ASSERT_TRUE(Esperar([&] { return destino->GetEstado() == TEstado::Reposo; }));
  destino->AddDFin(3000);
  ASSERT_TRUE(Esperar([&] { return destino->GetEstado() == TEstado::EnCola; }));
  for (int i = 0; i < 3; ++i) {
    destino->AgregarIO(std::make_unique<OperacionInmediata>(hilos.contadores, 1000));
  }
  ASSERT_TRUE(Esperar([&] { return destino->GetEstado() == TEstado::Terminado; }));
  const TInstantanea foto = destino->GetInstantanea();
  EXPECT_EQ(foto.DPos, 3000);
  EXPECT_EQ(foto.DFin, 3000);
  EXPECT_FALSE(foto.EsOrigen);
  EXPECT_EQ(foto.HRec.ID, 2u);
  const std::vector<TEstado> esperados = {TEstado::Reposo, TEstado::EnCola,
                                          TEstado::Escribiendo, TEstado::Terminado};
  EXPECT_EQ(De(2), esperados);
}

TEST_F(EstadosTest, AFailureAndARemovalAreAnnounced) {
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto malo = hilos.EnError({u"MALO", u"F", 3, 512, 4096}, u"a.bin", 8000);
  ASSERT_TRUE(Esperar([&] { return malo->GetEstado() == TEstado::Fallido; }));
  EXPECT_EQ(malo->GetInstantanea().LEC, platform::WAIT_TIMEOUT);
  EXPECT_EQ(malo->GetInstantanea().Muestra.DNombre, u"a.bin");
  malo->MarcarQuitado();
  EXPECT_EQ(malo->GetEstado(), TEstado::Quitado);
  // Later turns keep it removed.
  const auto vueltas = malo->GetVueltas();
  ASSERT_TRUE(Esperar([&] { return malo->GetVueltas() > vueltas + 1; }));
  EXPECT_EQ(malo->GetEstado(), TEstado::Quitado);
  const std::vector<TEstado> estados = De(3);
  ASSERT_GE(estados.size(), 2u);
  EXPECT_EQ(estados[estados.size() - 2], TEstado::Fallido);
  EXPECT_EQ(estados.back(), TEstado::Quitado);
  std::lock_guard<std::mutex> lock(mutex);
  for (const auto& evento : eventos) {
    if (evento.Ahora == TEstado::Fallido) {
      EXPECT_EQ(evento.LEC, platform::WAIT_TIMEOUT);
    }
  }
}

}  // namespace

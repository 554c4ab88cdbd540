// The device worker's loop on real threads and completion ports.
#include "engine/TDHilo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/TallaStr.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "tests/support/operaciones_prueba.h"
#include "tests/support/esperar.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Contadores;
using testing_support::OperacionColgada;
using testing_support::OperacionInmediata;

// Waits up to 10 s for a condition that the worker threads bring about.
bool Esperar(const std::function<bool()>& condicion) {
  const auto limite = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < limite) {
    if (condicion()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return condicion();
}

// A drive table whose drive E, mounted at kMontajeE, reports a fixed free space.
constexpr char kMontajeE[] = "/media/e";
class UnidadConEspacio final : public platform::Drives {
 public:
  explicit UnidadConEspacio(std::int64_t libre) : libre_(libre) {}
  std::vector<platform::DriveEntry> ListDrives() override { return {{u"E", kMontajeE}}; }
  std::uint32_t GetDriveType(const std::string&) override { return platform::DRIVE_REMOVABLE; }
  bool GetVolumeInformation(const std::string&, std::u16string*, std::uint32_t*) override {
    return false;
  }
  bool GetDiskFreeSpace(const std::string&, std::uint32_t*) override { return false; }
  bool IsMountedFolder(const std::string&, int) override { return false; }
  bool GetDiskFreeSpaceEx(const std::string& montaje, std::int64_t* libre,
                          std::int64_t* total) override {
    if (montaje != kMontajeE) return false;
    *libre = libre_;
    *total = 2 * libre_;
    return true;
  }
  bool MountPoint(const std::u16string&, std::string*) override { return false; }
  bool DriveOf(const std::string&, platform::DriveEntry*, std::string*) override { return false; }

 private:
  std::int64_t libre_;
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entorno = std::make_shared<TEntorno>();
    platform::LocaleFormat english;
    platform::SetLocaleForTests(english);
  }
  void TearDown() override {
    for (auto& hilo : hilos) hilo->Terminate();
    for (auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
    platform::ResetLocale();
  }
  std::shared_ptr<TDHilo> Nuevo() {
    hilos.push_back(TDHilo::Create(entorno));
    return hilos.back();
  }
  // A source and a destination of it, as the first drop makes them.
  std::pair<std::shared_ptr<TDHilo>, std::shared_ptr<TDHilo>> OrigenYDestino() {
    auto origen = Nuevo();
    origen->EsOrigen();
    auto destino = Nuevo();
    destino->SetOD(origen);
    destino->EsDestino();
    return {origen, destino};
  }
  // Waits for `n` more turns of a worker.
  bool EsperarVueltas(TDHilo& hilo, std::uint64_t n) {
    const std::uint64_t meta = hilo.GetVueltas() + n;
    return Esperar([&] { return hilo.GetVueltas() >= meta; });
  }

  // Declared before the workers: operations the workers still hold count into them until the
  // last worker object is gone.
  Contadores contadores, colgada, despues;
  std::shared_ptr<TEntorno> entorno;
  std::vector<std::shared_ptr<TDHilo>> hilos;
};

TEST_F(WorkerTest, NewWorkerTurnsAboutFiveTimesASecond) {
  auto hilo = Nuevo();
  ASSERT_TRUE(EsperarVueltas(*hilo, 1));
  const std::uint64_t inicio = hilo->GetVueltas();
  std::this_thread::sleep_for(1s);
  const std::uint64_t vueltas = hilo->GetVueltas() - inicio;
  EXPECT_GE(vueltas, 3u);
  EXPECT_LE(vueltas, 6u);
}

TEST_F(WorkerTest, FirstTurnAdoptsTheIdentityGivenByDiscovery) {
  auto hilo = Nuevo();
  const THRec inicial = hilo->GetHRec();
  EXPECT_EQ(inicial.Letra, u"\x85");
  EXPECT_EQ(inicial.Montaje, "");
  EXPECT_EQ(inicial.SectorSize, 512u);
  hilo->SetAppRec({u"STICK", u"E", 0xABCD1234, 4096, 4096, "/media/e"});
  ASSERT_TRUE(Esperar([&] { return hilo->GetHRec().ID == 0xABCD1234; }));
  const THRec adoptado = hilo->GetHRec();
  EXPECT_EQ(adoptado.Nombre, u"STICK");
  EXPECT_EQ(adoptado.Letra, u"E");
  EXPECT_EQ(adoptado.Montaje, "/media/e");
  EXPECT_EQ(adoptado.SectorSize, 4096u);
  EXPECT_EQ(adoptado.MaxSectorSize, 4096u);
}

// Changes of the work total are queued from any thread and folded in by the worker itself, at
// its next turn: a suspended worker shows none of them.
TEST_F(WorkerTest, WorkTotalChangesOnlyAtTheWorkersOwnTurn) {
  auto hilo = Nuevo();
  ASSERT_TRUE(EsperarVueltas(*hilo, 1));
  ASSERT_TRUE(testing_support::Detener(*hilo));
  std::vector<std::thread> hilos_externos;
  for (int t = 0; t < 4; ++t) {
    hilos_externos.emplace_back([&hilo, t] {
      for (int i = 0; i < 250; ++i) hilo->AddDFin(t % 2 == 0 ? 3 : -1);
    });
  }
  for (auto& t : hilos_externos) t.join();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(hilo->GetDFin(), 0);
  hilo->Resume();
  ASSERT_TRUE(Esperar([&] { return hilo->GetDFin() == 1000; }));
}

TEST_F(WorkerTest, DestinationRunsItsQueueInOrderAndCountsTheBytes) {
  auto [origen, destino] = OrigenYDestino();
  for (int i = 0; i < 20; ++i) {
    destino->AgregarIO(std::make_unique<OperacionInmediata>(contadores, 512));
  }
  ASSERT_TRUE(Esperar([&] { return destino->GetDPos() == 20 * 512; }));
  EXPECT_EQ(contadores.terminadas.load(), 20);
  // Finished operations go back to the source, which destroys them.
  ASSERT_TRUE(Esperar([&] { return contadores.destruidas.load() == 20; }));
  EXPECT_EQ(destino->GetLEC(), 0u);
}

// A destination whose drive stops answering shows the time-out, then passes every operation
// queued for it to the source without running it.
TEST_F(WorkerTest, DestinationInErrorPassesItsQueueThroughUnrun) {
  entorno->TiempoError = 300;
  std::atomic<int> pitidos{0};
  platform::SetBeepHook([&](unsigned tipo) {
    if (tipo == platform::MB_ICONASTERISK) pitidos++;
  });
  auto [origen, destino] = OrigenYDestino();
  auto op = std::make_unique<OperacionColgada>(colgada, 0);
  op->DNombre = u"carpeta\\archivo.bin";
  op->FTalla = 5000;
  op->FPos = 2048;
  destino->AgregarIO(std::move(op));
  ASSERT_TRUE(Esperar([&] { return destino->GetLEC() != 0; }));
  EXPECT_EQ(destino->GetLEC(), platform::WAIT_TIMEOUT);
  for (int i = 0; i < 5; ++i) {
    destino->AgregarIO(std::make_unique<OperacionInmediata>(despues, 512));
  }
  ASSERT_TRUE(Esperar([&] { return despues.destruidas.load() == 5; }));
  EXPECT_EQ(despues.iniciadas.load(), 0);
  EXPECT_EQ(despues.terminadas.load(), 0);
  EXPECT_EQ(destino->GetDPos(), 0);
  EXPECT_EQ(destino->GetLEC(), platform::WAIT_TIMEOUT);
  EXPECT_GE(pitidos.load(), 1);
  const TMuestra mostrada = destino->GetMuestra();
  EXPECT_EQ(mostrada.DNombre, u"carpeta\\archivo.bin");
  EXPECT_EQ(mostrada.FPos, 2048);
  EXPECT_EQ(mostrada.FTalla, 5000);

  destino->OnTime();
  EXPECT_EQ(destino->GetVelocidad().Error, platform::WAIT_TIMEOUT);
  EXPECT_EQ(destino->GetEstado(), TEstado::Fallido);
  platform::SetBeepHook(nullptr);
}

// A source whose read never completes: the file's progress is taken back, and with no
// destination left the file leaves the source's total; the next operation that moves data ends
// the error display.
TEST_F(WorkerTest, SourceErrorTakesTheFileBackAndClearsWithTheNextData) {
  entorno->TiempoError = 300;
  auto origen = Nuevo();
  origen->EsOrigen();
  origen->AddDFin(4096);
  auto op = std::make_unique<OperacionColgada>(colgada, 0);
  op->FTalla = 1000;
  origen->AgregarIO(std::move(op));
  ASSERT_TRUE(Esperar([&] { return origen->GetLEC() == platform::WAIT_TIMEOUT; }));
  ASSERT_TRUE(Esperar([&] { return origen->GetDFin() == 4096 - 1024; }));
  origen->AgregarIO(std::make_unique<OperacionInmediata>(despues, 512));
  ASSERT_TRUE(Esperar([&] { return origen->GetLEC() == 0; }));
  EXPECT_EQ(origen->GetDPos(), 512);
  EXPECT_EQ(colgada.destruidas.load(), 1);
}

TEST_F(WorkerTest, SpeedIsTheAverageOfTheLastTenTicksWithAFinishTime) {
  auto [origen, destino] = OrigenYDestino();
  destino->AddDFin(60LL << 20);
  for (int i = 0; i < 15; ++i) {
    destino->AgregarIO(std::make_unique<OperacionInmediata>(contadores, 2LL << 20));
  }
  ASSERT_TRUE(Esperar([&] { return destino->GetDPos() == 30LL << 20; }));
  const double antes = platform::Now();
  destino->OnTime();
  const double despues = platform::Now();
  const TVelocidad velocidad = destino->GetVelocidad();
  EXPECT_EQ(velocidad.Error, 0u);
  EXPECT_EQ(velocidad.BytesSegundo, 10LL << 20);
  // 30 MiB still to do at 10 MiB/s: three seconds after the tick.
  EXPECT_GE(velocidad.Termina, antes + 3.0 / 86400);
  EXPECT_LE(velocidad.Termina, despues + 3.0 / 86400);
  for (int tick = 0; tick < 10; ++tick) destino->OnTime();
  EXPECT_EQ(destino->GetVelocidad().BytesSegundo, 0);
}

struct CasoCapacidad {
  bool origen;
  std::int64_t por_escribir;
  bool faltan;
  std::int64_t bytes;
};

TEST_F(WorkerTest, CapacityShowsFreeSpaceOrShortfallAfterQueuedWork) {
  platform::SetDrives(std::make_shared<UnidadConEspacio>(1LL << 30));
  const CasoCapacidad casos[] = {
      {false, 3LL << 29, true, 1LL << 29},
      {false, 1LL << 30, false, 0},
      {false, 0, false, 1LL << 30},
      {true, 3LL << 29, false, 1LL << 30},
  };
  for (const auto& caso : casos) {
    auto hilo = Nuevo();
    if (caso.origen) hilo->EsOrigen();
    hilo->SetAppRec({u"STICK", u"E", 7, 512, 4096, kMontajeE});
    hilo->AddDFin(caso.por_escribir);
    hilo->GetEspacioLibre();
    ASSERT_TRUE(Esperar([&] {
      const TCapacidad capacidad = hilo->GetCapacidad();
      return capacidad.Valida && capacidad.Faltan == caso.faltan && capacidad.Bytes == caso.bytes;
    })) << caso.por_escribir;
  }
}

TEST_F(WorkerTest, CacheCountsOnlyQueuedBuffers) {
  auto hilo = Nuevo();  // no role: its queue is never taken
  for (std::int64_t cache : {2LL << 20, 0LL, 4096LL}) {
    auto op = std::make_unique<OperacionInmediata>(contadores, 0);
    op->Cache = cache;
    hilo->AgregarIO(std::move(op));
  }
  EXPECT_EQ(hilo->GetCache(), (2LL << 20) + 4096);
}

TEST_F(WorkerTest, EliminarFilesDropsRecordsLeftWithoutDestinations) {
  auto origen = Nuevo();
  origen->EsOrigen();
  // Held at its pause point, the source plans none of the records while the test looks at them.
  ASSERT_TRUE(testing_support::Detener(*origen));
  // In the source's table, without a role: what is handed to them stays queued.
  std::vector<TIdDestino> w;
  for (int i = 0; i < 3; ++i) {
    auto destino = Nuevo();
    destino->SetOD(origen);
    w.push_back(destino->GetId());
  }
  {
    auto& cola = origen->LockFList();
    for (auto destinos : {std::vector<TIdDestino>{w[0]}, {w[0]}, {w[0], w[1], w[2]}}) {
      auto rec = std::make_unique<TFRec>();
      rec->Talla = 1000;
      rec->Atributos = platform::FILE_ATTRIBUTE_DIRECTORY;  // planned without touching a drive
      rec->DList = destinos;
      cola.push_back(std::move(rec));
    }
    origen->UnLockFList();
  }
  origen->AddDFin(3 * 1024);
  origen->EliminarFiles(w[0]);
  auto& cola = origen->LockFList();
  ASSERT_EQ(cola.size(), 1u);
  EXPECT_EQ(cola.front()->DList, (std::vector<TIdDestino>{w[1], w[2]}));
  origen->UnLockFList();
  origen->Resume();
  ASSERT_TRUE(Esperar([&] { return origen->GetDFin() == 1024; }));
}

}  // namespace

// Failures during a copy, each on real file systems with a short wait time-out: what the user
// sees, what is retried, and that nothing corrupt or half-written is left behind.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "engine/NombreTemporal.h"
#include "platform/errors.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/entorno_fallos.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::EscribirAzar;
using testing_support::Granja;

bool Existe(const fs::path& ruta) { return fs::exists(fs::symlink_status(ruta)); }

// The name a copy has on its stick while it is written.
std::string Temporal(const std::string& nombre) {
  std::string bytes;
  platform::EncodeName(NombreTemporal(std::u16string(nombre.begin(), nombre.end())), &bytes);
  return bytes;
}

class FallosCopiaTest : public ::testing::Test {
 protected:
  void SetUp() override { buffers_antes = platform::BuffersHeld(); }
  bool BuffersLiberados() {
    return Esperar([&] { return platform::BuffersHeld() == buffers_antes; });
  }
  std::int64_t buffers_antes = 0;
};

// A source file that cannot be opened shows why, goes to the end of the queue while the files
// behind it are copied, and is copied once it can be read again.
TEST_F(FallosCopiaTest, UnopenableSourceFileIsRetriedAtTheEndOfTheQueue) {
  Granja granja({512}, {{512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->TiempoError = 500;
  const fs::path raiz = granja.RaizOrigen();
  for (const char* nombre : {"a.bin", "b.bin", "c.bin", "d.bin"}) EscribirAzar(raiz / nombre, 5000, 1);
  ASSERT_TRUE(testing_support::Detener(*granja.origen));
  granja.Encolar();
  fs::rename(raiz / "b.bin", raiz / "aparte.bin");  // gone when the source reaches it
  // The error shows only until the next block is read: seen through the source's events.
  std::atomic<bool> mostrado{false};
  const int clave = granja.entorno->Eventos.Suscribir([&](const TEventoEstado& evento) {
    if (evento.Hilo == granja.origen.get() && evento.Ahora == TEstado::Fallido &&
        evento.LEC == platform::ERROR_FILE_NOT_FOUND) {
      mostrado = true;
    }
  });
  granja.origen->Resume();

  const bool visto = Esperar([&] { return mostrado.load(); });
  granja.entorno->Eventos.Cancelar(clave);
  ASSERT_TRUE(visto);
  for (const char* nombre : {"a.bin", "c.bin", "d.bin"}) {
    for (size_t i = 0; i < granja.destinos.size(); ++i) {
      const fs::path copia = fs::path(granja.RaizDestino(i)) / nombre;
      EXPECT_TRUE(Esperar([&] {
        std::error_code sin_copia;
        return fs::file_size(copia, sin_copia) == 5000;
      })) << nombre;
    }
  }
  fs::rename(raiz / "aparte.bin", raiz / "b.bin");
  ASSERT_TRUE(granja.EsperarFin());
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "");
  }
  EXPECT_TRUE(BuffersLiberados());
}

// A read error at the third block: every destination takes the file's progress back and keeps
// no partial copy; the file goes behind the next one in the queue and is then copied whole.
TEST_F(FallosCopiaTest, ReadErrorAtTheThirdBlockLeavesNoPartialCopy) {
  Granja granja({512}, {{512}, {512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->TiempoError = 30000;
  testing_support::FallosTransferencia fallos;
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "grande.bin", (5 << 20) + 100, 3);
  EscribirAzar(raiz / "pausa.bin", 3000, 4);
  fallos.FallarLectura("grande.bin", 4 << 20, platform::ERROR_CRC);
  // Reading the next file waits, so that the state after the failure can be looked at.
  fallos.Colgar("pausa.bin");
  granja.Encolar();  // grande.bin, then pausa.bin

  ASSERT_TRUE(Esperar([&] { return fallos.colgadas() == 1; }));
  EXPECT_EQ(granja.origen->GetLEC(), platform::ERROR_CRC);
  EXPECT_EQ(granja.origen->GetDPos(), 0);
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    auto& d = *granja.destinos[i];
    // The two written blocks were taken back, and the copy is gone.
    EXPECT_TRUE(Esperar([&] {
      return d.GetDPos() == 0 && !Existe(fs::path(granja.RaizDestino(i)) / "grande.bin");
    })) << i;
    EXPECT_EQ(d.GetLEC(), 0u);
  }
  fallos.Liberar();
  ASSERT_TRUE(granja.EsperarFin());
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "");
  }
  EXPECT_EQ(fallos.lecturas_fallidas(), 1);
  EXPECT_TRUE(BuffersLiberados());
}

// A destination that fills up shows the write error, loses its partial copy and leaves the
// queue: the records only it needed go, with their share of the source's total, and the other
// destination finishes.
TEST_F(FallosCopiaTest, AFullDestinationLeavesTheQueueAndTheOthersFinish) {
  Granja granja({512}, {{512}, {512, 24LL << 20}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->TiempoError = 30000;
  testing_support::FallosTransferencia fallos;
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "comun/demasiado.bin", 40LL << 20, 5);
  EscribirAzar(raiz / "espera.bin", 1000, 6);
  EscribirAzar(raiz / "solo_pequeno/uno.bin", 3000, 7);
  EscribirAzar(raiz / "solo_pequeno/dos.bin", 7000, 8);
  // The source waits on espera.bin while the small drive fills up, so that the records only the
  // small drive needs are still queued when it fails.
  fallos.Colgar("espera.bin");
  ASSERT_TRUE(testing_support::Detener(*granja.origen));
  granja.Encolar("comun");
  granja.Encolar("espera.bin", {0});
  granja.Encolar("solo_pequeno", {1});
  granja.origen->Resume();

  auto& lleno = *granja.destinos[1];
  ASSERT_TRUE(Esperar([&] { return lleno.GetLEC() == platform::ERROR_DISK_FULL; }));
  fallos.Liberar();
  ASSERT_TRUE(granja.EsperarFin());
  // Left for the source: the large file and espera.bin; the folders count nothing.
  EXPECT_EQ(granja.origen->GetDFin(), (40LL << 20) + 1024);
  EXPECT_EQ(testing_support::CompararArboles(raiz / "comun",
                                             fs::path(granja.RaizDestino(0)) / "comun"),
            "");
  EXPECT_FALSE(Existe(fs::path(granja.RaizDestino(1)) / "comun/demasiado.bin"));
  EXPECT_FALSE(Existe(fs::path(granja.RaizDestino(1)) / "solo_pequeno"));
  EXPECT_EQ(granja.origen->GetDPos(), granja.origen->GetDFin());
  EXPECT_TRUE(BuffersLiberados());
}

// A destination whose device stops answering: after the wait it shows the time-out and the
// other destination finishes; when the device answers at last, nothing it completes reaches
// memory that was freed meanwhile.
TEST_F(FallosCopiaTest, AHungDestinationTimesOutAndItsLateCompletionIsHarmless) {
  Granja granja({512}, {{512}, {512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->TiempoError = 700;
  testing_support::FallosTransferencia fallos;
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "a.bin", (6 << 20) + 5, 8);
  EscribirAzar(raiz / "b.bin", 10000, 9);
  fallos.Colgar(granja.RaizDestino(1));
  granja.Encolar();

  auto& colgado = *granja.destinos[1];
  ASSERT_TRUE(Esperar([&] { return colgado.GetLEC() == platform::WAIT_TIMEOUT; }));
  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(0)), "");
  EXPECT_EQ(fallos.colgadas(), 1);
  fallos.Liberar();
  EXPECT_TRUE(BuffersLiberados());
}

// A destination cancelled while the source waits out a hung read is never reached again: not by
// the failed read's clean-up, not by the retry of the file. Every holder lets the cancelled
// worker go, so a stale reference would touch freed memory (seen by AddressSanitizer).
TEST_F(FallosCopiaTest, ADestinationCancelledDuringAHungReadIsNeverReachedAgain) {
  Granja granja({512}, {{512}, {512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->TiempoError = 1000;
  testing_support::FallosTransferencia fallos;
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "lento.bin", (3 << 20) + 7, 10);
  fallos.Colgar(granja.RaizOrigen());  // the source's reads, not the destinations' writes
  granja.Encolar();
  ASSERT_TRUE(Esperar([&] { return fallos.colgadas() == 1; }));

  // What the program's cancel does; then the test lets go of the worker too.
  const std::weak_ptr<TDHilo> cancelado = granja.destinos[0];
  granja.origen->EliminarFiles(granja.destinos[0]->GetId());
  granja.origen->AgregarEliminarDestino(granja.destinos[0]);
  granja.destinos.erase(granja.destinos.begin());
  // The read times out, its clean-up and the retry are planned; the source ends the worker.
  ASSERT_TRUE(Esperar([&] { return granja.origen->GetLEC() == platform::WAIT_TIMEOUT; }));
  EXPECT_TRUE(Esperar([&] { return cancelado.expired(); }));
  fallos.Liberar();

  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(1)), "");
  EXPECT_TRUE(BuffersLiberados());
}

// The workers reach the system only through the environment they are given: a write that the
// environment fails on one of three sticks fails that stick with the write's own error, and the
// other two are copied whole.
TEST_F(FallosCopiaTest, AWriteFailedByTheEnvironmentFailsOnlyItsStick) {
  auto entorno = std::make_shared<testing_support::EntornoFallos>();
  Granja granja({512}, {{512}, {512}, {4096}}, entorno);
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "grande.bin", (5 << 20) + 3, 11);
  EscribirAzar(raiz / "otro.bin", 7000, 12);
  // The second block written to the middle stick's copy.
  entorno->FallarTransferencia(granja.RaizDestino(1) + "/" + Temporal("grande.bin"), 2, true,
                               platform::ERROR_CRC);
  granja.Encolar();

  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(entorno->inyectados(), 1);
  EXPECT_EQ(granja.destinos[1]->GetLEC(), platform::ERROR_CRC);
  EXPECT_EQ(granja.destinos[1]->GetEstado(), TEstado::Fallido);
  for (size_t i : {0u, 2u}) {
    EXPECT_EQ(granja.destinos[i]->GetLEC(), 0u) << i;
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
        << i;
  }
  EXPECT_TRUE(BuffersLiberados());
}

}  // namespace

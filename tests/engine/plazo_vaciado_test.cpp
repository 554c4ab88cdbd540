// A drive's flush takes as long as the machine's unwritten data takes to reach the stick, which
// for a slow stick given many small files may be long: it is waited for the answer time and a
// second more for every megabyte still to be written, and only a flush silent past that fails
// its stick.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/granja.h"

namespace {

using testing_support::Granja;

// Holds every flush of the drive at `raiz` (a transfer of no bytes on its root) for `ms`.
class VaciadoLento final : public platform::TransferHook {
 public:
  VaciadoLento(std::string raiz, int ms) : raiz_(std::move(raiz)), ms_(ms) {
    platform::SetTransferHook(this);
  }
  // An abandoned flush may still be held here: it is waited for.
  ~VaciadoLento() override {
    platform::SetTransferHook(nullptr);
    while (dentro_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  platform::ErrorCode BeforeTransfer(const std::string& ruta, std::int64_t, std::uint32_t bytes,
                                     bool) override {
    if (ruta != raiz_ || bytes != 0) return 0;
    ++dentro_;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
    --dentro_;
    return 0;
  }

 private:
  const std::string raiz_;
  const int ms_;
  std::atomic<int> dentro_{0};
};

TEST(PlazoVaciado, AFlushIsWaitedForAsLongAsTheMachineHasDataToWrite) {
  const struct {
    const char* caso;
    std::uint64_t sin_escribir;  // Dirty + Writeback the machine reports
    bool falla;
  } casos[] = {{"10 MB still to write: 11 s", 10'000'000, false},
               {"nothing to write: the answer time, 1 s", 0, true}};
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.caso);
    platform::SetMemoryStatusForTests([&caso] {
      return platform::MemoryStatus{10, 16ULL << 30, 8ULL << 30, caso.sin_escribir};
    });
    std::unique_ptr<VaciadoLento> lento;
    {
      Granja granja({512}, {{512}});
      if (!granja.ok()) GTEST_SKIP() << granja.error();
      lento = std::make_unique<VaciadoLento>(granja.RaizDestino(0), 2500);
      granja.entorno->TiempoError = 1000;
      testing_support::EscribirAzar(std::filesystem::path(granja.RaizOrigen()) / "a.bin", 70000, 1);
      granja.Encolar();
      ASSERT_TRUE(granja.EsperarFin(std::chrono::seconds(60)));
      const TInstantanea foto = granja.destinos[0]->GetInstantanea();
      if (caso.falla) {
        EXPECT_EQ(foto.Estado, TEstado::Fallido);
        EXPECT_NE(foto.LEC, 0u);
      } else {
        EXPECT_EQ(foto.Estado, TEstado::Terminado);
        EXPECT_EQ(foto.LEC, 0u);
        EXPECT_TRUE(foto.Comprobacion.Verificado);
      }
    }
    lento.reset();
    platform::SetMemoryStatusForTests(nullptr);
  }
}

}  // namespace

// Memory held by block buffers while one destination is slow: reading stops when the blocks the
// engine may take, fixed when the job starts, are all in use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/files.h"
#include "platform/memory.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
constexpr std::int64_t MiB = 1LL << 20;

// Samples the block bytes held beyond `antes` while it lives, keeping the most.
class Muestreo {
 public:
  explicit Muestreo(std::int64_t antes)
      : hilo_([this, antes] {
          while (!fin_) {
            maximo_ = std::max<std::int64_t>(maximo_, platform::BufferBytesHeld() - antes);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }) {}
  ~Muestreo() { Parar(); }
  std::int64_t Parar() {
    fin_ = true;
    if (hilo_.joinable()) hilo_.join();
    return maximo_;
  }

 private:
  std::atomic<bool> fin_{false};
  std::atomic<std::int64_t> maximo_{0};
  std::thread hilo_;
};

// Writes below one folder take a while, as on a slow stick.
class DestinoLento final : public platform::TransferHook {
 public:
  explicit DestinoLento(std::string carpeta) : carpeta_(std::move(carpeta)) {
    platform::SetTransferHook(this);
  }
  ~DestinoLento() override { platform::SetTransferHook(nullptr); }
  platform::ErrorCode BeforeTransfer(const std::string& ruta, std::int64_t, std::uint32_t,
                                     bool escritura) override {
    if (escritura && ruta.rfind(carpeta_, 0) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    return 0;
  }

 private:
  std::string carpeta_;
};

// The machine as the engine sees it: 64 MiB available less the buffers the copy holds, with
// 48 MiB to be left free, so that reading may hold about 16 MiB. In the second case other
// processes free a GiB once the copy has started: the budget fixed at the start still holds.
TEST(MemoriaCopia, BuffersStayWithinTheBudgetFixedAtTheStart) {
  struct Caso {
    const char* nombre;
    std::uint64_t liberado_despues;  // bytes other processes free after the first reading
  };
  const Caso casos[] = {{"memory as the copy takes it", 0},
                        {"other processes free memory meanwhile", 1ULL << 30}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    testing_support::Granja granja({512}, {{512}, {512}, {4096}});
    if (!granja.ok()) GTEST_SKIP() << granja.error();
    const std::int64_t antes = platform::BufferBytesHeld();
    std::atomic<int> lecturas{0};
    platform::SetMemoryStatusForTests([&] {
      const std::uint64_t ocupado =
          static_cast<std::uint64_t>(std::max<std::int64_t>(0, platform::BufferBytesHeld() - antes));
      const std::uint64_t liberado = lecturas++ == 0 ? 0 : c.liberado_despues;
      return platform::MemoryStatus{50, 1ULL << 34, (64ULL << 20) + liberado - ocupado};
    });
    constexpr std::int64_t kMargen = 48 * MiB;
    granja.entorno->MemoriaTotal = 1LL << 34;
    granja.entorno->MemoriaLibre = kMargen;

    for (int i = 0; i < 3; ++i) {
      std::ofstream(fs::path(granja.RaizOrigen()) / ("f" + std::to_string(i) + ".bin"))
          << std::string(20 * MiB, static_cast<char>('a' + i));
    }
    DestinoLento lento(granja.RaizDestino(0));
    Muestreo muestreo(antes);
    granja.Encolar();
    const bool terminado = granja.EsperarFin();
    const std::int64_t maximo = muestreo.Parar();
    platform::SetMemoryStatusForTests(nullptr);

    ASSERT_TRUE(terminado);
    for (size_t i = 0; i < granja.destinos.size(); ++i) {
      EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "");
    }
    const std::int64_t presupuesto = 64 * MiB - kMargen;
    std::printf("buffers held at most: %lld MiB (budget %lld MiB), memory read %d times\n",
                static_cast<long long>(maximo / MiB), static_cast<long long>(presupuesto / MiB),
                lecturas.load());
    EXPECT_GT(maximo, 0);
    EXPECT_LE(maximo, presupuesto);
    // 30 blocks were read; the memory was read when the job's budget was fixed, not per block.
    EXPECT_LT(lecturas.load(), 30);
  }
}

// A GiB to spend and sticks that take nothing: the source reads ahead of them only so far, and
// the pool does not fill with blocks that would only wait. Once they move, every copy is whole.
TEST(MemoriaCopia, TheSourceReadsAheadOfStillSticksOnlySoFar) {
  testing_support::Granja granja({512}, {{512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const std::int64_t antes = platform::BufferBytesHeld();
  platform::SetMemoryStatusForTests(
      [] { return platform::MemoryStatus{50, 1ULL << 34, 1ULL << 30}; });
  granja.entorno->MemoriaTotal = 1LL << 34;
  granja.entorno->MemoriaLibre = 0;
  granja.entorno->TiempoError = 600000;
  constexpr std::int64_t kArchivo = 128 * MiB;
  std::ofstream(fs::path(granja.RaizOrigen()) / "grande.bin") << std::string(kArchivo, 'g');
  testing_support::FallosTransferencia fallos;
  fallos.Colgar("/.orsanta~");  // the copies, under their temporary names

  Muestreo muestreo(antes);
  granja.Encolar();
  constexpr std::int64_t kAdelanto = 64 * MiB;
  const bool llegado = testing_support::Esperar(
      [&] { return platform::BufferBytesHeld() - antes >= kAdelanto; }, std::chrono::seconds(60));
  // Time for the source to read on, if it would.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::int64_t maximo = muestreo.Parar();
  fallos.Liberar();
  const bool terminado = granja.EsperarFin();
  platform::SetMemoryStatusForTests(nullptr);

  EXPECT_TRUE(llegado);
  // The read-ahead queued on each stick, its write held under way, and the read under way.
  EXPECT_LE(maximo, kAdelanto + 3 * 2 * MiB);
  ASSERT_TRUE(terminado);
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "");
  }
}

}  // namespace

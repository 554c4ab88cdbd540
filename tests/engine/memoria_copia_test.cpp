// Memory held by block buffers while one destination is slow: reading stops when the machine's
// available memory is down to the margin the user leaves free.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/files.h"
#include "platform/memory.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
constexpr std::int64_t MiB = 1LL << 20;

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

TEST(MemoriaCopia, BuffersStayWithinTheMarginPlusOneBlockPerDestination) {
  testing_support::Granja granja({512}, {{512}, {512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  // The machine as the engine sees it: 64 MiB available less the buffers the copy holds, with
  // 48 MiB to be left free, so that reading may hold about 16 MiB.
  const std::int64_t antes = platform::BufferBytesHeld();
  platform::SetMemoryStatusForTests([antes] {
    const std::uint64_t ocupado =
        static_cast<std::uint64_t>(platform::BufferBytesHeld() - antes);
    return platform::MemoryStatus{50, 1ULL << 34, (64ULL << 20) - ocupado};
  });
  constexpr std::int64_t kMargen = 48 * MiB;
  granja.entorno->MemoriaTotal = 1LL << 34;
  granja.entorno->MemoriaLibre = kMargen;

  for (int i = 0; i < 3; ++i) {
    std::ofstream(fs::path(granja.RaizOrigen()) / ("f" + std::to_string(i) + ".bin"))
        << std::string(20 * MiB, static_cast<char>('a' + i));
  }
  DestinoLento lento(granja.RaizDestino(0));
  std::atomic<bool> fin{false};
  std::atomic<std::int64_t> maximo{0};
  std::thread muestreo([&] {
    while (!fin) {
      maximo = std::max<std::int64_t>(maximo, platform::BufferBytesHeld() - antes);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  granja.Encolar();
  const bool terminado = granja.EsperarFin();
  fin = true;
  muestreo.join();
  platform::SetMemoryStatusForTests(nullptr);

  ASSERT_TRUE(terminado);
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "");
  }
  const std::int64_t presupuesto = 64 * MiB - kMargen;
  const std::int64_t holgura = 2 * MiB * static_cast<std::int64_t>(granja.destinos.size());
  std::printf("buffers held at most: %lld MiB (margin allows %lld MiB)\n",
              static_cast<long long>(maximo / MiB), static_cast<long long>(presupuesto / MiB));
  EXPECT_GT(maximo.load(), 0);
  EXPECT_LE(maximo.load(), presupuesto + holgura);
}

}  // namespace

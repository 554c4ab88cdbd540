// The pool of block buffers: what it lends against the memory the engine may take, the reuse of
// its blocks, and a block that an abandoned transfer may still write into.
#include "engine/PoolBloques.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <set>
#include <thread>
#include <vector>

#include "platform/buffer_registry.h"
#include "platform/memory.h"

namespace {

constexpr std::int64_t kTallaPrueba = 64 * 1024;

// The machine's memory as the test sets it; counts how often the pool reads it.
class MemoriaDePrueba final : public platform::EnvWrapper {
 public:
  MemoriaDePrueba() : EnvWrapper(platform::DefaultEnv()) {}
  bool GlobalMemoryStatus(platform::MemoryStatus* status) override {
    ++lecturas;
    if (!legible) return false;
    *status = {50, 1ULL << 34, disponible};
    return true;
  }
  std::uint64_t disponible = 0;
  bool legible = true;
  int lecturas = 0;
};

class PoolBloquesTest : public ::testing::Test {
 protected:
  std::vector<void*> TomarTodos(std::int64_t libre) {
    std::vector<void*> bloques;
    while (void* b = pool->Tomar(libre)) bloques.push_back(b);
    return bloques;
  }
  void DevolverTodos(std::vector<void*>& bloques) {
    for (void* b : bloques) pool->Devolver(b);
    bloques.clear();
  }

  std::shared_ptr<MemoriaDePrueba> memoria = std::make_shared<MemoriaDePrueba>();
  std::unique_ptr<TPoolBloques> pool = std::make_unique<TPoolBloques>(memoria, kTallaPrueba);
};

TEST_F(PoolBloquesTest, LendsWhatIsAvailableAboveTheMarginInWholeBlocks) {
  struct Caso {
    const char* nombre;
    std::uint64_t disponible;
    std::int64_t libre;
    bool legible;
    std::size_t bloques;
  };
  const Caso casos[] = {
      {"ten blocks and a bit above the margin", 10 * kTallaPrueba + 5 + 1000, 1000, true, 10},
      {"less than a block above it", kTallaPrueba - 1 + 1000, 1000, true, 0},
      {"exactly the margin", 1000, 1000, true, 0},
      {"below the margin", 10, 1000, true, 0},
      {"memory status unreadable", 10 * kTallaPrueba, 0, false, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    pool = std::make_unique<TPoolBloques>(memoria, kTallaPrueba);
    memoria->disponible = c.disponible;
    memoria->legible = c.legible;
    std::vector<void*> bloques = TomarTodos(c.libre);
    EXPECT_EQ(bloques.size(), c.bloques);
    EXPECT_EQ(pool->Limite(c.libre), static_cast<std::int64_t>(c.bloques) * kTallaPrueba);
    for (void* b : bloques) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 4096, 0u);
    }
    DevolverTodos(bloques);
  }
}

TEST_F(PoolBloquesTest, BlocksAreReusedAndTheMemoryIsReadOncePerJob) {
  memoria->disponible = 4 * kTallaPrueba;
  const std::int64_t mapeados_antes = platform::BuffersHeld();
  std::set<void*> vistos;
  for (int i = 0; i < 100; ++i) {
    std::vector<void*> bloques = TomarTodos(0);
    ASSERT_EQ(bloques.size(), 4u);
    vistos.insert(bloques.begin(), bloques.end());
    DevolverTodos(bloques);
  }
  EXPECT_EQ(vistos.size(), 4u);
  EXPECT_EQ(pool->Mapeados(), 4);
  EXPECT_EQ(platform::BuffersHeld(), mapeados_antes + 4);
  // Read when the job's limit was fixed, never for a block.
  EXPECT_EQ(memoria->lecturas, 1);
  // Trimmed when idle: nothing stays mapped, and the next job reads the memory again.
  pool->Recortar();
  EXPECT_EQ(platform::BuffersHeld(), mapeados_antes);
  const int lecturas = memoria->lecturas;
  memoria->disponible = 2 * kTallaPrueba;
  EXPECT_EQ(TomarTodos(0).size(), 2u);
  EXPECT_GT(memoria->lecturas, lecturas);
}

TEST_F(PoolBloquesTest, MemoryFreedByOthersDoesNotRaiseTheLimitWhileBlocksAreLent) {
  memoria->disponible = 3 * kTallaPrueba;
  std::vector<void*> bloques = TomarTodos(0);
  ASSERT_EQ(bloques.size(), 3u);
  memoria->disponible = 100 * kTallaPrueba;  // another process ended
  EXPECT_EQ(pool->Tomar(0), nullptr);
  pool->Recortar();  // blocks are lent: nothing is trimmed, the limit stays
  EXPECT_EQ(pool->Tomar(0), nullptr);
  EXPECT_EQ(pool->Mapeados(), 3);
  DevolverTodos(bloques);
}

TEST_F(PoolBloquesTest, MemoryShortAtFirstIsAskedAgainUntilABlockCanBeHad) {
  memoria->disponible = 0;
  EXPECT_EQ(pool->Tomar(0), nullptr);
  memoria->disponible = 2 * kTallaPrueba;
  std::vector<void*> bloques = TomarTodos(0);
  EXPECT_EQ(bloques.size(), 2u);
  DevolverTodos(bloques);
}

TEST_F(PoolBloquesTest, ABlockAnAbandonedTransferStillUsesIsNeverLentAgain) {
  memoria->disponible = 2 * kTallaPrueba;
  const std::int64_t mapeados_antes = platform::BuffersHeld();
  void* usado = pool->Tomar(0);
  ASSERT_NE(usado, nullptr);
  auto transferencia = std::make_unique<platform::BufferHold>(usado);
  pool->Devolver(usado);
  // The pool maps another in its place, up to its limit, and never hands the used one out.
  std::vector<void*> bloques = TomarTodos(0);
  EXPECT_EQ(bloques.size(), 2u);
  for (void* b : bloques) EXPECT_NE(b, usado);
  EXPECT_EQ(platform::BuffersHeld(), mapeados_antes + 3);
  transferencia.reset();  // the transfer ends: the block is unmapped
  EXPECT_EQ(platform::BuffersHeld(), mapeados_antes + 2);
  DevolverTodos(bloques);
}

TEST_F(PoolBloquesTest, HoldersOnManyThreadsGiveBlocksBack) {
  memoria->disponible = 8 * kTallaPrueba;
  std::vector<std::thread> hilos;
  for (int h = 0; h < 4; ++h) {
    hilos.emplace_back([this] {
      for (int i = 0; i < 500; ++i) {
        if (void* b = pool->Tomar(0)) {
          static_cast<char*>(b)[0] = 1;
          pool->Devolver(b);
        }
      }
    });
  }
  for (auto& t : hilos) t.join();
  EXPECT_EQ(pool->Prestados(), 0);
  EXPECT_LE(pool->Mapeados(), 8);
}

// Pages of [bloque, bloque + talla) present in memory.
std::size_t PaginasPresentes(void* bloque, std::int64_t talla) {
  const long pagina = sysconf(_SC_PAGESIZE);
  std::vector<unsigned char> presentes(static_cast<std::size_t>(talla / pagina));
  if (mincore(bloque, static_cast<std::size_t>(talla), presentes.data()) != 0) return 0;
  std::size_t n = 0;
  for (unsigned char p : presentes) n += p & 1;
  return n;
}

// A small file's read into a block must not clear the whole block: with huge pages its first
// touch would clear 2 MiB for a few bytes, for every block the small files hold. (Whether a
// block meant to be filled gets huge pages is the kernel's choice at the time: not asserted.)
TEST(PoolBloquesPaginas, ABlockForAFewBytesClearsOnlyThePagesItUses) {
  constexpr std::int64_t kBloque = 2 * 1024 * 1024;
  auto pool = std::make_unique<TPoolBloques>(platform::DefaultEnv(), kBloque);
  constexpr std::int64_t kLibre = 0;  // whatever the machine has
  auto* pequeno = static_cast<char*>(pool->Tomar(kLibre, false));
  auto* entero = static_cast<char*>(pool->Tomar(kLibre, true));
  ASSERT_NE(pequeno, nullptr);
  ASSERT_NE(entero, nullptr);
  pequeno[0] = 1;
  EXPECT_EQ(PaginasPresentes(pequeno, kBloque), 1u);

  // Each kind is lent again as its own first, and as the other rather than a new block mapped.
  pool->Devolver(pequeno);
  pool->Devolver(entero);
  EXPECT_EQ(pool->Tomar(kLibre, false), pequeno);
  EXPECT_EQ(pool->Tomar(kLibre, false), entero);
  EXPECT_EQ(pool->Mapeados(), 2);
  pool->Devolver(pequeno);
  pool->Devolver(entero);
  EXPECT_EQ(pool->Tomar(kLibre, true), entero);
  pool->Devolver(entero);
  pool->Recortar();
  EXPECT_EQ(pool->Mapeados(), 0);
}

}  // namespace

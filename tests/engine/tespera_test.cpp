#include "engine/TEspera.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/memory.h"

namespace {

struct Redondeo {
  std::uint32_t sector;
  std::int64_t size;
  std::int64_t expected;
};

TEST(RedondearTalla, RoundsUpToWholeSectors) {
  const Redondeo cases[] = {
      {512, 0, 0},          {512, 1, 512},          {512, 512, 512},
      {512, 513, 1024},     {4096, 2097153, 2101248}, {4096, 4194304, 4194304},
      {512, 2097151, 2097152}, {4096, 1, 4096},
      {4096, (1LL << 40) + 1, (1LL << 40) + 4096},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RedondearTalla(c.sector, c.size), c.expected) << c.sector << " " << c.size;
  }
}

// One read and three writes share a buffer; they are destroyed on four threads at once.
TEST(TEspera, SharedBufferIsReleasedOnceWhateverTheOrder) {
  auto pool = std::make_shared<TPoolBloques>(platform::DefaultEnv(), 4096);
  for (int round = 0; round < 200; ++round) {
    std::vector<TEspera*> holders;
    auto* read = new TEspera;
    read->Buf = pool->Tomar(0);
    ASSERT_NE(read->Buf, nullptr);
    read->Pool = pool;
    read->BufCount = new std::atomic<std::int32_t>(1);
    holders.push_back(read);
    read->BufCount->fetch_add(3);
    for (int i = 0; i < 3; ++i) {
      auto* write = new TEspera;
      read->CompartirBuf(*write);
      holders.push_back(write);
    }
    EXPECT_EQ(pool->Prestados(), 1);
    std::vector<std::thread> threads;
    for (TEspera* holder : holders) threads.emplace_back([holder] { delete holder; });
    for (auto& t : threads) t.join();
    EXPECT_EQ(pool->Prestados(), 0);
  }
  EXPECT_EQ(pool->Mapeados(), 1);
}

TEST(TEspera, OperationWithoutCounterReleasesNothing) {
  const std::int64_t held_before = platform::BuffersHeld();
  void* buffer = platform::VirtualAlloc(4096);
  {
    TEspera op;
    op.Buf = buffer;  // not counted: the operation is not one of its holders
  }
  EXPECT_EQ(platform::BuffersHeld(), held_before + 1);
  platform::VirtualFree(buffer);
  EXPECT_EQ(platform::BuffersHeld(), held_before);
}

TEST(TEspera, BaseCrearBufMakesACounterOfOne) {
  TEspera op;
  ASSERT_TRUE(op.CrearBuf(nullptr, 0));
  ASSERT_NE(op.BufCount, nullptr);
  EXPECT_EQ(op.BufCount->load(), 1);
  EXPECT_EQ(op.Buf, nullptr);
}

TEST(TEspera, IdleOperationPostsAnEmptyPacketAfterItsWait) {
  auto port = platform::CompletionPort::Create();
  TEspera idle;
  platform::Handle file = platform::kInvalidHandle;
  const std::string montaje = "/media/stick";
  TSesionDestino sesion;
  TContextoIO contexto{*platform::DefaultEnv(), *port, 512, montaje, file, sesion};
  const auto start = std::chrono::steady_clock::now();
  idle.ExeIO(contexto);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(195));
  platform::CompletionPacket packet;
  packet.Key = 99;
  ASSERT_TRUE(port->Take(0, &packet));
  EXPECT_EQ(packet.Bytes, 0u);
  EXPECT_EQ(packet.Key, 0);
  EXPECT_EQ(packet.Ov, nullptr);
  EXPECT_EQ(file, platform::kInvalidHandle);
  EXPECT_FALSE(idle.BorrarDestino(1));
}

TEST(TEspera, SetOverlappedPosSplitsTheOffset) {
  TEspera op;
  op.SetOverlappedPos(0x123456789ALL);
  EXPECT_EQ(op.ORec.Offset, 0x3456789Au);
  EXPECT_EQ(op.ORec.OffsetHigh, 0x12u);
}

}  // namespace

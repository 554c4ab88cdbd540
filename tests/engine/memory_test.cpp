#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/buffer_registry.h"

namespace platform {
namespace {

TEST(MemoryTest, StatusComesFromTheSystemUnlessATestSetsIt) {
  MemoryStatus real;
  ASSERT_TRUE(GlobalMemoryStatus(&real));
  EXPECT_GT(real.TotalPhys, 0u);
  EXPECT_LE(real.AvailPhys, real.TotalPhys);
  EXPECT_LE(real.MemoryLoad, 100u);

  SetMemoryStatusForTests([] { return MemoryStatus{90, 8ull << 30, 800ull << 20}; });
  MemoryStatus fake;
  ASSERT_TRUE(GlobalMemoryStatus(&fake));
  EXPECT_EQ(fake.MemoryLoad, 90u);
  EXPECT_EQ(fake.TotalPhys, 8ull << 30);
  EXPECT_EQ(fake.AvailPhys, 800ull << 20);

  SetMemoryStatusForTests(nullptr);
  MemoryStatus again;
  ASSERT_TRUE(GlobalMemoryStatus(&again));
  EXPECT_EQ(again.TotalPhys, real.TotalPhys);
}

TEST(MemoryTest, BuffersArePageAlignedZeroFilledAndCounted) {
  const std::int64_t held = BuffersHeld();
  const std::int64_t bytes_held = BufferBytesHeld();
  for (std::uint64_t size : {std::uint64_t{1}, std::uint64_t{4096}, std::uint64_t{(2 << 20) + 1}}) {
    SCOPED_TRACE(size);
    auto* buffer = static_cast<unsigned char*>(VirtualAlloc(size));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer) % 4096, 0u);
    EXPECT_EQ(BuffersHeld(), held + 1);
    EXPECT_EQ(BufferBytesHeld(), bytes_held + static_cast<std::int64_t>(size));
    for (std::uint64_t i = 0; i < size; ++i) ASSERT_EQ(buffer[i], 0) << i;
    std::memset(buffer, 0xA5, size);
    VirtualFree(buffer);
    EXPECT_EQ(BuffersHeld(), held);
    EXPECT_EQ(BufferBytesHeld(), bytes_held);
  }
  EXPECT_EQ(VirtualAlloc(0), nullptr);
}

TEST(MemoryTest, FreeingWhatIsNotABufferDoesNothing) {
  auto* buffer = static_cast<unsigned char*>(VirtualAlloc(8192));
  ASSERT_NE(buffer, nullptr);
  const std::int64_t held = BuffersHeld();
  int on_stack = 0;
  VirtualFree(nullptr);
  VirtualFree(&on_stack);
  VirtualFree(buffer + 4096);  // inside a buffer, not its start
  EXPECT_EQ(BuffersHeld(), held);
  buffer[8191] = 1;  // still mapped
  EXPECT_EQ(RetainForTransfer(&on_stack), nullptr);
  VirtualFree(buffer);
  VirtualFree(buffer);  // a second release is ignored
  EXPECT_EQ(BuffersHeld(), held - 1);
}

// An abandoned transfer still reading from or writing into a buffer keeps it mapped after its
// owner freed it; it goes with the last transfer that used it.
TEST(MemoryTest, BufferInUseByTransfersIsReleasedAfterTheLastOne) {
  const std::int64_t held = BuffersHeld();
  const std::int64_t bytes_held = BufferBytesHeld();
  auto* buffer = static_cast<unsigned char*>(VirtualAlloc(3 * 4096));
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 0x5A, 3 * 4096);
  {
    BufferHold first(buffer);
    BufferHold second(buffer + 2 * 4096 + 7);  // a transfer into the buffer's last page
    VirtualFree(buffer);
    EXPECT_EQ(BuffersHeld(), held + 1);
    EXPECT_EQ(BufferBytesHeld(), bytes_held + 3 * 4096);
    {
      BufferHold moved = std::move(first);
    }
    EXPECT_EQ(BuffersHeld(), held + 1);
    for (int i = 0; i < 3 * 4096; ++i) ASSERT_EQ(buffer[i], 0x5A) << i;
    buffer[0] = 1;
  }
  EXPECT_EQ(BuffersHeld(), held);
  EXPECT_EQ(BufferBytesHeld(), bytes_held);
}

// A transfer that ends before its owner frees the buffer does not release it.
TEST(MemoryTest, TransferEndingFirstLeavesTheBufferToItsOwner) {
  const std::int64_t held = BuffersHeld();
  void* buffer = VirtualAlloc(4096);
  ASSERT_NE(buffer, nullptr);
  { BufferHold hold(buffer); }
  EXPECT_EQ(BuffersHeld(), held + 1);
  static_cast<unsigned char*>(buffer)[4095] = 1;
  VirtualFree(buffer);
  EXPECT_EQ(BuffersHeld(), held);
}

}  // namespace
}  // namespace platform

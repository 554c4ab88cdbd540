#include "platform/completion_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "tests/support/scoped_drives.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// Waits that only prove liveness: a lost packet or wake-up shows as this passing.
constexpr std::uint32_t kLongWaitMs = 30000;

template <class Condition>
bool Eventually(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWaitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

Overlapped At(std::int64_t offset) {
  Overlapped ov;
  ov.Offset = static_cast<std::uint32_t>(offset);
  ov.OffsetHigh = static_cast<std::uint32_t>(offset >> 32);
  return ov;
}

// A device that stops answering at one offset until released, and can fail at another.
class FaultyDevice final : public TransferHook {
 public:
  ErrorCode BeforeTransfer(const std::string&, std::int64_t offset, std::uint32_t,
                           bool) override {
    std::unique_lock lock(mutex_);
    ++entered_;
    changed_.notify_all();
    if (offset == fail_offset_) return fail_code_;
    if (offset == hang_offset_) changed_.wait(lock, [this] { return released_; });
    return ERROR_SUCCESS;
  }

  void HangAt(std::int64_t offset) {
    std::lock_guard lock(mutex_);
    hang_offset_ = offset;
  }
  void FailAt(std::int64_t offset, ErrorCode code) {
    std::lock_guard lock(mutex_);
    fail_offset_ = offset;
    fail_code_ = code;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool WaitEntered(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kLongWaitMs),
                             [&] { return entered_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t hang_offset_ = -1;      // guarded by mutex_
  std::int64_t fail_offset_ = -1;      // guarded by mutex_
  ErrorCode fail_code_ = 0;            // guarded by mutex_
  bool released_ = false;              // guarded by mutex_
  int entered_ = 0;                    // guarded by mutex_
};

TEST(CompletionPortTest, PacketsComeOutInOrderAndAnEmptyWaitTimesOut) {
  PortPtr port = CompletionPort::Create();
  Overlapped first, second;
  port->Post(10, 1, &first);
  port->Post(20, 2, &second);
  port->Post(0, 3, nullptr);
  const struct {
    std::uint32_t bytes;
    std::int64_t key;
    Overlapped* ov;
  } expected[] = {{10, 1, &first}, {20, 2, &second}, {0, 3, nullptr}};
  for (const auto& e : expected) {
    CompletionPacket packet;
    ASSERT_TRUE(port->Take(0, &packet));
    EXPECT_EQ(packet.Bytes, e.bytes);
    EXPECT_EQ(packet.Key, e.key);
    EXPECT_EQ(packet.Ov, e.ov);
  }
  CompletionPacket packet{1, 2, &first};
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(port->Take(20, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
  EXPECT_EQ(packet.Ov, nullptr);
}

TEST(CompletionPortTest, TakeWakesForAPacketPostedByAnotherThread) {
  PortPtr port = CompletionPort::Create();
  Overlapped ov;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    port->Post(5, 9, &ov);
  });
  CompletionPacket packet;
  EXPECT_TRUE(port->Take(kLongWaitMs, &packet));
  EXPECT_EQ(packet.Ov, &ov);
  poster.join();
}

// A nudge ends an idle wait at once, is used up by it, and is never taken for a completion.
TEST(CompletionPortTest, ANudgeEndsOneWaitAndPostsNoPacket) {
  PortPtr port = CompletionPort::Create();
  port->Nudge();
  EXPECT_TRUE(port->WaitForNudge(kLongWaitMs));  // made before the wait: not lost
  EXPECT_FALSE(port->WaitForNudge(10));           // used up
  std::thread nudger([&] {
    std::this_thread::sleep_for(20ms);
    port->Nudge();
  });
  EXPECT_TRUE(port->WaitForNudge(kLongWaitMs));
  nudger.join();
  CompletionPacket packet;
  EXPECT_FALSE(port->Take(10, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
}

// Transfers of files bound to a port, on real files in a temporary folder mapped to drive P.
class PortTransferTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    drives_.Put(u'P', folder_.path());
    SetTransferHook(&device_);
    buffers_held_ = BuffersHeld();
  }

  void TearDown() override {
    device_.Release();
    // Every transfer of the test has ended once its buffer is no longer held.
    EXPECT_TRUE(Eventually([&] { return BuffersHeld() == buffers_held_; }));
    SetTransferHook(nullptr);
  }

  // A file of `size` bytes (value i % 251 at byte i), opened and bound to port_.
  Handle OpenBound(const std::u16string& name, std::int64_t size) {
    std::ofstream out(folder_.path() + "/" + std::string(name.begin(), name.end()),
                      std::ios::binary);
    for (std::int64_t i = 0; i < size; ++i) out.put(static_cast<char>(i % 251));
    out.close();
    const Handle file = CreateFile(u"P:\\" + name, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    EXPECT_NE(file, kInvalidHandle);
    EXPECT_TRUE(BindToPort(file, port_));
    return file;
  }

  std::string Contents(const std::string& name) {
    std::ifstream in(folder_.path() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  testing_support::TempFolder folder_;
  testing_support::ScopedFakeDrives drives_;
  FaultyDevice device_;
  PortPtr port_ = CompletionPort::Create();
  std::int64_t buffers_held_ = 0;
};

TEST_F(PortTransferTest, ReadAndWritePostOnePacketEachWithTheirResult) {
  const Handle file = OpenBound(u"data", 6000);
  auto* buffer = static_cast<unsigned char*>(VirtualAlloc(8192));
  ASSERT_NE(buffer, nullptr);

  // A read past the end of the file returns what is there: success, with the bytes read.
  Overlapped read = At(4096);
  ASSERT_TRUE(ReadFile(file, buffer, 4096, &read));
  CompletionPacket packet;
  ASSERT_TRUE(port_->Take(kLongWaitMs, &packet));
  EXPECT_EQ(packet.Ov, &read);
  EXPECT_EQ(packet.Key, file);
  EXPECT_EQ(packet.Bytes, 6000u - 4096u);
  EXPECT_EQ(read.Internal, ERROR_SUCCESS);
  EXPECT_EQ(read.InternalHigh, 6000u - 4096u);
  for (int i = 0; i < 6000 - 4096; ++i) ASSERT_EQ(buffer[i], (4096 + i) % 251) << i;

  std::memset(buffer, 'w', 8192);
  Overlapped write = At(6000);
  ASSERT_TRUE(WriteFile(file, buffer, 100, &write));
  ASSERT_TRUE(port_->Take(kLongWaitMs, &packet));
  EXPECT_EQ(packet.Ov, &write);
  EXPECT_EQ(packet.Bytes, 100u);
  EXPECT_EQ(write.InternalHigh, 100u);
  EXPECT_EQ(Contents("data").substr(6000), std::string(100, 'w'));

  // A failing transfer posts its packet too, carrying the error.
  device_.FailAt(0, ERROR_CRC);
  Overlapped failing = At(0);
  ASSERT_TRUE(ReadFile(file, buffer, 4096, &failing));
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(port_->Take(kLongWaitMs, &packet));
  EXPECT_EQ(GetLastError(), ERROR_CRC);
  EXPECT_EQ(packet.Ov, &failing);
  EXPECT_EQ(failing.Internal, ERROR_CRC);

  EXPECT_FALSE(port_->Take(20, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(file));
  VirtualFree(buffer);
}

TEST_F(PortTransferTest, TransfersRefusedAtOncePostNothing) {
  const Handle bound = OpenBound(u"bound", 100);
  std::ofstream(folder_.path() + "/loose") << "x";
  const Handle unbound = CreateFile(u"P:\\loose", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED);
  const Handle read_only = CreateFile(u"P:\\loose", GENERIC_READ, FILE_SHARE_READ,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
  ASSERT_TRUE(BindToPort(read_only, port_));
  const Handle closed = OpenBound(u"closed", 100);
  ASSERT_TRUE(CloseHandle(closed));
  char buffer[512];
  Overlapped ov;
  const struct {
    const char* what;
    Handle file;
    bool write;
    Overlapped* ov;
    ErrorCode error;
  } cases[] = {
      {"file bound to no port", unbound, false, &ov, ERROR_INVALID_PARAMETER},
      {"closed handle", closed, false, &ov, ERROR_INVALID_HANDLE},
      {"never a handle", kInvalidHandle, true, &ov, ERROR_INVALID_HANDLE},
      {"write on a read-only handle", read_only, true, &ov, ERROR_ACCESS_DENIED},
      {"no overlapped record", bound, false, nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SetLastError(ERROR_SUCCESS);
    const bool queued = c.write ? WriteFile(c.file, buffer, sizeof buffer, c.ov)
                                : ReadFile(c.file, buffer, sizeof buffer, c.ov);
    EXPECT_FALSE(queued) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  CompletionPacket packet;
  EXPECT_FALSE(port_->Take(20, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
  EXPECT_FALSE(BindToPort(bound, CompletionPort::Create()));  // already bound elsewhere
  for (Handle file : {bound, unbound, read_only}) EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(closed));
}

// The operation that started a hung transfer is destroyed right after the wait timed out. The
// transfer must neither write the freed record nor post a packet when it ends at last, while
// its buffer stays readable until then; a later transfer on the port reports normally.
TEST_F(PortTransferTest, AbandonedTransferNeverReachesItsFreedOperation) {
  const Handle file = OpenBound(u"hung", 0);
  device_.HangAt(0);
  auto* abandoned_buffer = static_cast<char*>(VirtualAlloc(4096));
  ASSERT_NE(abandoned_buffer, nullptr);
  std::memset(abandoned_buffer, 'A', 4096);
  auto abandoned_ov = std::make_unique<Overlapped>(At(0));
  ASSERT_TRUE(WriteFile(file, abandoned_buffer, 4096, abandoned_ov.get()));
  ASSERT_TRUE(device_.WaitEntered(1));

  CompletionPacket packet;
  EXPECT_FALSE(port_->Take(50, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
  EXPECT_EQ(port_->PendingTransfers(), 1);
  abandoned_ov.reset();
  VirtualFree(abandoned_buffer);
  EXPECT_EQ(BuffersHeld(), buffers_held_ + 1);  // still in use by the transfer

  auto* buffer = static_cast<char*>(VirtualAlloc(4096));
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 'B', 4096);
  Overlapped later = At(4096);
  ASSERT_TRUE(WriteFile(file, buffer, 4096, &later));
  device_.Release();

  ASSERT_TRUE(port_->Take(kLongWaitMs, &packet));
  EXPECT_EQ(packet.Ov, &later);
  EXPECT_EQ(later.InternalHigh, 4096u);
  EXPECT_FALSE(port_->Take(50, &packet));
  EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
  EXPECT_TRUE(Eventually([&] { return port_->PendingTransfers() == 0; }));
  EXPECT_EQ(BuffersHeld(), buffers_held_ + 1);  // only `buffer` now
  EXPECT_EQ(Contents("hung"), std::string(4096, 'A') + std::string(4096, 'B'));
  EXPECT_TRUE(CloseHandle(file));
  VirtualFree(buffer);
}

// Transfers queued behind a hung one are abandoned too: they never run.
TEST_F(PortTransferTest, TimeOutDropsTransfersNotStartedYet) {
  const Handle file = OpenBound(u"queued", 0);
  device_.HangAt(0);
  auto* buffer = static_cast<char*>(VirtualAlloc(8192));
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 'Q', 8192);
  Overlapped hung = At(0), behind = At(4096);
  ASSERT_TRUE(WriteFile(file, buffer, 4096, &hung));
  ASSERT_TRUE(WriteFile(file, buffer + 4096, 4096, &behind));
  ASSERT_TRUE(device_.WaitEntered(1));
  EXPECT_EQ(port_->PendingTransfers(), 2);
  CompletionPacket packet;
  EXPECT_FALSE(port_->Take(50, &packet));
  EXPECT_EQ(port_->PendingTransfers(), 1);
  device_.Release();
  EXPECT_TRUE(Eventually([&] { return port_->PendingTransfers() == 0; }));
  EXPECT_FALSE(port_->Take(20, &packet));
  EXPECT_EQ(Contents("queued").size(), 4096u);
  EXPECT_TRUE(CloseHandle(file));
  VirtualFree(buffer);
}

TEST_F(PortTransferTest, DestroyingThePortDoesNotWaitForAHungTransfer) {
  const Handle file = OpenBound(u"orphan", 0);
  device_.HangAt(0);
  void* buffer = VirtualAlloc(4096);
  ASSERT_NE(buffer, nullptr);
  auto ov = std::make_unique<Overlapped>(At(0));
  ASSERT_TRUE(WriteFile(file, buffer, 4096, ov.get()));
  ASSERT_TRUE(device_.WaitEntered(1));
  port_.reset();
  EXPECT_TRUE(CloseHandle(file));
  ov.reset();
  VirtualFree(buffer);
  EXPECT_EQ(BuffersHeld(), buffers_held_ + 1);
  device_.Release();  // the transfer ends now and gives the buffer back (checked at TearDown)
  EXPECT_TRUE(Eventually([&] { return Contents("orphan").size() == 4096; }));
}

TEST_F(PortTransferTest, CancelIoAbortsOnlyTheHandlesTransfersNotStarted) {
  const Handle file = OpenBound(u"cancel", 0);
  const Handle other = OpenBound(u"other", 0);
  device_.HangAt(0);
  auto* buffer = static_cast<char*>(VirtualAlloc(4096));
  ASSERT_NE(buffer, nullptr);
  Overlapped running = At(0), first = At(4096), second = At(8192), elsewhere = At(4096);
  ASSERT_TRUE(WriteFile(file, buffer, 4096, &running));
  ASSERT_TRUE(device_.WaitEntered(1));
  ASSERT_TRUE(WriteFile(file, buffer, 4096, &first));
  ASSERT_TRUE(WriteFile(other, buffer, 4096, &elsewhere));
  ASSERT_TRUE(WriteFile(file, buffer, 4096, &second));
  ASSERT_TRUE(CancelIo(file));

  for (Overlapped* cancelled : {&first, &second}) {
    CompletionPacket packet;
    EXPECT_FALSE(port_->Take(0, &packet));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(packet.Ov, cancelled);
    EXPECT_EQ(cancelled->Internal, ERROR_OPERATION_ABORTED);
  }
  device_.Release();
  for (Overlapped* done : {&running, &elsewhere}) {
    CompletionPacket packet;
    ASSERT_TRUE(port_->Take(kLongWaitMs, &packet));
    EXPECT_EQ(packet.Ov, done);
  }
  EXPECT_EQ(Contents("cancel").size(), 4096u);
  EXPECT_EQ(Contents("other").size(), 8192u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_TRUE(CloseHandle(other));
  VirtualFree(buffer);
}

}  // namespace
}  // namespace platform

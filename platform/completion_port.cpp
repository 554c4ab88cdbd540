// Completion ports: a packet queue with a timed take, and one transfer thread per port that
// runs the overlapped transfers of the files bound to it.
//
// A wait time-out abandons the port's transfers by moving the port to a new generation: a
// transfer only writes its Overlapped record and posts its packet when it still belongs to the
// current generation. The transfer thread holds the port's state through a shared pointer, so
// a port can be destroyed while a transfer hangs; the thread ends once that transfer returns.
#include "platform/completion_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/buffer_registry.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/transfer.h"

namespace platform {
namespace {

std::atomic<TransferHook*> transfer_hook{nullptr};

struct Packet {
  CompletionPacket packet;
  ErrorCode error = ERROR_SUCCESS;
};

struct QueuedTransfer {
  Transfer transfer;
  BufferHold buffer_hold;
  std::uint64_t generation = 0;
};

// What a port shares with its transfer thread, which may outlive the port.
struct PortCore {
  std::mutex mutex;
  std::condition_variable packet_posted;  // Take waits on it
  // WaitForNudge waits on its own: a worker busy in Take is not woken for work queued to it,
  // which it looks at anyway when its packet comes.
  std::condition_variable nudge_posted;
  std::condition_variable work_queued;    // the transfer thread waits on it
  std::deque<Packet> packets;             // guarded by mutex
  std::deque<QueuedTransfer> queued;      // guarded by mutex; not started yet
  bool running = false;                   // guarded by mutex; a transfer is under way
  std::uint64_t generation = 0;           // guarded by mutex; older transfers are abandoned
  bool thread_started = false;            // guarded by mutex
  bool closed = false;                    // guarded by mutex; the port is gone
  bool nudged = false;                    // guarded by mutex; a Nudge not yet waited for

  // Caller holds mutex, and wakes the taker once it has let the mutex go: woken under it, the
  // taker would only wait for it again (a third of a round trip's CPU, measured).
  void PostLocked(std::uint32_t bytes, Handle key, Overlapped* ov, ErrorCode error) {
    packets.push_back(Packet{CompletionPacket{bytes, key, ov}, error});
  }

  // Caller holds mutex. Writes the transfer's result into its record and posts its packet.
  void CompleteLocked(Overlapped* ov, Handle key, ErrorCode error, std::uint32_t moved) {
    ov->Internal = error;
    ov->InternalHigh = moved;
    PostLocked(moved, key, ov, error);
  }
};

void RunTransfers(const std::shared_ptr<PortCore> core) {
  for (;;) {
    QueuedTransfer current;
    {
      std::unique_lock lock(core->mutex);
      core->work_queued.wait(lock, [&] { return core->closed || !core->queued.empty(); });
      if (core->queued.empty()) return;
      current = std::move(core->queued.front());
      core->queued.pop_front();
      core->running = true;
    }
    const Transfer& transfer = current.transfer;
    std::uint32_t moved = 0;
    ErrorCode error = ERROR_SUCCESS;
    if (TransferHook* hook = transfer_hook.load(std::memory_order_acquire)) {
      error = hook->BeforeTransfer(transfer.file->LinuxPath(), transfer.offset, transfer.bytes,
                                   transfer.is_write);
    }
    if (error == ERROR_SUCCESS) {
      error = transfer.flush ? transfer.file->Flush()
                             : transfer.file->Move(transfer.buffer, transfer.bytes,
                                                   transfer.offset, transfer.is_write, &moved);
    }
    Overlapped* const ov = transfer.ov;
    const Handle key = transfer.handle;
    const std::uint64_t generation = current.generation;
    // The file and the buffer are let go before the packet is seen: whoever takes it may reopen
    // the file exclusively at once, and an abandoned buffer may be unmapped now.
    current = QueuedTransfer{};
    {
      std::lock_guard lock(core->mutex);
      core->running = false;
      if (generation != core->generation) continue;
      core->CompleteLocked(ov, key, error, moved);
    }
    core->packet_posted.notify_all();
  }
}

class PortImpl final : public CompletionPort {
 public:
  ~PortImpl() override {
    std::deque<QueuedTransfer> abandoned;
    std::lock_guard lock(core_->mutex);
    core_->closed = true;
    AbandonLocked(&abandoned);
    core_->work_queued.notify_all();
  }

  void Post(std::uint32_t bytes, std::int64_t key, Overlapped* ov) override {
    {
      std::lock_guard lock(core_->mutex);
      core_->PostLocked(bytes, key, ov, ERROR_SUCCESS);
    }
    core_->packet_posted.notify_all();
  }

  void PostFailure(std::uint32_t bytes, std::int64_t key, Overlapped* ov,
                   ErrorCode error) override {
    {
      std::lock_guard lock(core_->mutex);
      if (ov != nullptr) {
        core_->CompleteLocked(ov, key, error, bytes);
      } else {
        core_->PostLocked(bytes, key, ov, error);
      }
    }
    core_->packet_posted.notify_all();
  }

  void Nudge() override {
    std::lock_guard lock(core_->mutex);
    core_->nudged = true;
    core_->nudge_posted.notify_all();
  }

  bool WaitForNudge(std::uint32_t timeout_ms) override {
    std::unique_lock lock(core_->mutex);
    const bool nudged = core_->nudge_posted.wait_for(
        lock, std::chrono::milliseconds(timeout_ms), [&] { return core_->nudged; });
    core_->nudged = false;
    return nudged;
  }

  bool Take(std::uint32_t timeout_ms, CompletionPacket* packet) override {
    std::deque<QueuedTransfer> abandoned;  // released after the lock
    Packet taken;
    {
      std::unique_lock lock(core_->mutex);
      if (!core_->packet_posted.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                         [&] { return !core_->packets.empty(); })) {
        AbandonLocked(&abandoned);
        *packet = CompletionPacket{};
        SetLastError(WAIT_TIMEOUT);
        return false;
      }
      taken = core_->packets.front();
      core_->packets.pop_front();
    }
    *packet = taken.packet;
    if (taken.error == ERROR_SUCCESS) return true;
    SetLastError(taken.error);
    return false;
  }

  void AbandonTransfers() override {
    std::deque<QueuedTransfer> abandoned;  // released after the lock
    std::lock_guard lock(core_->mutex);
    AbandonLocked(&abandoned);
  }

  int PendingTransfers() const override {
    std::lock_guard lock(core_->mutex);
    return static_cast<int>(core_->queued.size()) + (core_->running ? 1 : 0);
  }

  bool Queue(Transfer transfer) {
    QueuedTransfer queued{std::move(transfer), BufferHold{}, 0};
    queued.buffer_hold = BufferHold(queued.transfer.buffer);
    {
      std::lock_guard lock(core_->mutex);
      if (!core_->thread_started) {
        try {
          std::thread(RunTransfers, core_).detach();
        } catch (const std::system_error&) {
          SetLastError(ERROR_NOT_ENOUGH_MEMORY);
          return false;
        }
        core_->thread_started = true;
      }
      queued.generation = core_->generation;
      core_->queued.push_back(std::move(queued));
    }
    core_->work_queued.notify_one();
    return true;
  }

  void Cancel(Handle handle) {
    std::vector<QueuedTransfer> cancelled;  // released after the lock
    {
      std::lock_guard lock(core_->mutex);
      for (auto it = core_->queued.begin(); it != core_->queued.end();) {
        if (it->transfer.handle != handle) {
          ++it;
          continue;
        }
        core_->CompleteLocked(it->transfer.ov, handle, ERROR_OPERATION_ABORTED, 0);
        cancelled.push_back(std::move(*it));
        it = core_->queued.erase(it);
      }
    }
    if (!cancelled.empty()) core_->packet_posted.notify_all();
  }

 private:
  // Caller holds the mutex; the abandoned transfers are released by the caller after it.
  void AbandonLocked(std::deque<QueuedTransfer>* abandoned) {
    ++core_->generation;
    abandoned->swap(core_->queued);
  }

  const std::shared_ptr<PortCore> core_ = std::make_shared<PortCore>();
};

PortImpl* OurPort(CompletionPort& port) {
  auto* ours = dynamic_cast<PortImpl*>(&port);
  if (!ours) SetLastError(ERROR_INVALID_PARAMETER);
  return ours;
}

}  // namespace

std::shared_ptr<CompletionPort> CompletionPort::Create() { return std::make_shared<PortImpl>(); }

bool QueueTransfer(CompletionPort& port, Transfer transfer) {
  PortImpl* ours = OurPort(port);
  return ours && ours->Queue(std::move(transfer));
}

void CancelTransfers(CompletionPort& port, Handle handle) {
  if (PortImpl* ours = OurPort(port)) ours->Cancel(handle);
}

void SetTransferHook(TransferHook* hook) {
  transfer_hook.store(hook, std::memory_order_release);
}

}  // namespace platform

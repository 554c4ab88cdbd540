// Completion ports: a queue of packets with a blocking, timed take. Files bound to a port run
// their overlapped transfers asynchronously (one transfer thread per port) and each transfer
// posts exactly one packet when it ends, success or error.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/types.h"

namespace platform {

// The overlapped record of a transfer. Offset/OffsetHigh hold the file offset; the platform
// writes Internal (the error code) and InternalHigh (bytes moved) when the transfer ends, unless
// the transfer was abandoned (see CompletionPort::Take).
struct Overlapped {
  std::uint64_t Internal = 0;
  std::uint64_t InternalHigh = 0;
  std::uint32_t Offset = 0;
  std::uint32_t OffsetHigh = 0;
  void* hEvent = nullptr;
};

struct CompletionPacket {
  std::uint32_t Bytes = 0;
  std::int64_t Key = 0;
  Overlapped* Ov = nullptr;
};

// Held by shared pointers: the files bound to a port keep it alive while they post to it.
class CompletionPort : public std::enable_shared_from_this<CompletionPort> {
 public:
  // A new port with no file; its transfer thread starts with the first bound transfer.
  static std::shared_ptr<CompletionPort> Create();

  virtual ~CompletionPort() = default;

  // Any thread. Queues a successful packet.
  virtual void Post(std::uint32_t bytes, std::int64_t key, Overlapped* ov) = 0;
  // Any thread. Completes a transfer that never reached the device with a failure, as a
  // transfer that failed there would: ov (when given) records the error and the bytes, and the
  // packet reports the error to Take.
  virtual void PostFailure(std::uint32_t bytes, std::int64_t key, Overlapped* ov,
                           ErrorCode error) = 0;

  // Waits up to timeout_ms for a packet. True for a packet that reports success. False when the
  // wait timed out (last error WAIT_TIMEOUT) or the packet reports a failed transfer (last error
  // = the transfer's error, *packet filled). A time-out abandons every transfer of this port
  // still queued or under way: it will never post a packet, never write its Overlapped record,
  // and the buffer it uses stays allocated until it has really ended (see memory.h), so the
  // caller may destroy the operation that started it at once.
  virtual bool Take(std::uint32_t timeout_ms, CompletionPacket* packet) = 0;

  // Any thread: ends the port's current or next WaitForNudge at once. Posts no packet, so it
  // can never be taken for a transfer's completion.
  virtual void Nudge() = 0;
  // The port's own thread, between transfers: waits up to timeout_ms for a Nudge made since the
  // last wait. True when nudged (the nudge is used up); false on time-out.
  virtual bool WaitForNudge(std::uint32_t timeout_ms) = 0;

  // Transfers queued or under way on this port (for tests and shutdown).
  virtual int PendingTransfers() const = 0;

  // Any thread: abandons every transfer queued or under way, as a wait time-out does, so that
  // the operations that started them can be destroyed at once.
  virtual void AbandonTransfers() = 0;
};

using PortPtr = std::shared_ptr<CompletionPort>;

}  // namespace platform

// What an open file hands to a completion port: the transfers that the port's thread runs.
// Internal to the platform layer (files_linux.cpp and completion_port.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/completion_port.h"
#include "platform/types.h"

namespace platform {

// An open file as a port's transfer thread sees it.
class TransferFile {
 public:
  virtual ~TransferFile() = default;

  virtual const std::string& LinuxPath() const = 0;

  // Transfer thread: moves `bytes` at `offset`, continuing after short transfers. A read that
  // reaches the end of the file stops there with success. *moved gets the bytes moved, also on
  // failure. Returns the error code (0 = success).
  virtual ErrorCode Move(void* buffer, std::uint32_t bytes, std::int64_t offset, bool is_write,
                         std::uint32_t* moved) = 0;
  // Transfer thread: flushes the file's whole volume to its device (FlushVolume).
  virtual ErrorCode Flush() = 0;
};

struct Transfer {
  std::shared_ptr<TransferFile> file;  // keeps the file open until the transfer has ended
  Handle handle = kInvalidHandle;      // the file's handle: CancelIo's key and the packet's Key
  void* buffer = nullptr;
  std::uint32_t bytes = 0;
  std::int64_t offset = 0;
  bool is_write = false;
  bool flush = false;  // a FlushVolume: no buffer, nothing moved
  Overlapped* ov = nullptr;
};

// Queues a transfer on a port made by CompletionPort::Create; its end posts one packet there
// unless a wait time-out abandoned it first. The buffer, when it is a VirtualAlloc block, stays
// mapped until the transfer has ended. False with ERROR_INVALID_PARAMETER for any other port,
// ERROR_NOT_ENOUGH_MEMORY when the port's thread cannot be started.
bool QueueTransfer(CompletionPort& port, Transfer transfer);

// Removes the transfers of `handle` that have not started; each posts a failed packet
// (ERROR_OPERATION_ABORTED) with its Overlapped record written.
void CancelTransfers(CompletionPort& port, Handle handle);

}  // namespace platform

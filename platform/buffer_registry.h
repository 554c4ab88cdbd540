// Keeps VirtualAlloc buffers mapped while a transfer uses them, so that an operation abandoned
// after a wait time-out may free its buffer at once (memory.h, completion_port.h).
#pragma once

namespace platform {

// Marks the VirtualAlloc block that holds `address` (its start or any byte inside) as used by
// one more transfer; VirtualFree then only unmaps it once every such transfer has released it.
// Returns the block's start, or nullptr for memory that is not a VirtualAlloc block (the owner
// of such memory keeps it alive itself).
void* RetainForTransfer(const void* address);

// Ends one use of a block returned by RetainForTransfer (nullptr does nothing); unmaps the
// block when VirtualFree was already called for it and no transfer uses it any more.
void ReleaseFromTransfer(void* block);

// True while a transfer (an abandoned one included) still uses the VirtualAlloc block that starts
// at `block`: the kernel may still write into it, so its owner must not hand it out again.
bool UsedByTransfer(const void* block);

// One transfer's use of a buffer, released when the holder goes.
class BufferHold {
 public:
  BufferHold() = default;
  explicit BufferHold(const void* address) : block_(RetainForTransfer(address)) {}
  ~BufferHold() { ReleaseFromTransfer(block_); }
  BufferHold(BufferHold&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  BufferHold& operator=(BufferHold&& other) noexcept {
    if (this != &other) {
      ReleaseFromTransfer(block_);
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  BufferHold(const BufferHold&) = delete;
  BufferHold& operator=(const BufferHold&) = delete;

 private:
  void* block_ = nullptr;
};

}  // namespace platform

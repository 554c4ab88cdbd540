// Physical memory status from /proc/meminfo, and the page-aligned block buffers with the
// registry that keeps a buffer mapped while a transfer still uses it.
#include "platform/memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/buffer_registry.h"
#include "platform/errors.h"

namespace platform {
namespace {

constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;

// Reads MemTotal, MemAvailable, Dirty and Writeback (kB) from /proc/meminfo.
bool ReadMemInfo(MemoryStatus* status) {
  std::FILE* file = std::fopen("/proc/meminfo", "re");
  if (!file) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  std::uint64_t total_kb = 0, available_kb = 0, unwritten_kb = 0;
  bool have_total = false, have_available = false;
  char line[256];
  while (std::fgets(line, sizeof line, file)) {
    std::uint64_t value;
    if (std::sscanf(line, "MemTotal: %" SCNu64, &value) == 1) {
      total_kb = value;
      have_total = true;
    } else if (std::sscanf(line, "MemAvailable: %" SCNu64, &value) == 1) {
      available_kb = value;
      have_available = true;
    } else if (std::sscanf(line, "Dirty: %" SCNu64, &value) == 1 ||
               std::sscanf(line, "Writeback: %" SCNu64, &value) == 1) {
      unwritten_kb += value;
    }
  }
  std::fclose(file);
  if (!have_total || !have_available || total_kb == 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  status->TotalPhys = total_kb * 1024;
  status->AvailPhys = std::min(available_kb, total_kb) * 1024;
  status->Unwritten = unwritten_kb * 1024;
  status->MemoryLoad =
      static_cast<std::uint32_t>(100 * (total_kb - std::min(available_kb, total_kb)) / total_kb);
  return true;
}

std::mutex status_source_mutex;
std::function<MemoryStatus()> status_source;  // guarded by status_source_mutex

// Every mapped block: its size, the transfers using it and whether its owner freed it.
class BlockRegistry final {
 public:
  void Add(void* block, std::uint64_t size) {
    std::lock_guard lock(mutex_);
    blocks_[Address(block)] = Block{size, 0, false};
    bytes_held_ += static_cast<std::int64_t>(size);
  }

  // The owner's release: unmaps now, or when the last transfer using the block ends.
  void Free(void* block) {
    std::uint64_t size;
    {
      std::lock_guard lock(mutex_);
      auto it = blocks_.find(Address(block));
      if (it == blocks_.end() || it->second.freed_by_owner) return;
      it->second.freed_by_owner = true;
      if (it->second.transfers > 0) return;
      size = Forget(it);
    }
    munmap(block, size);
  }

  void* Retain(const void* address) {
    std::lock_guard lock(mutex_);
    auto it = Holding(Address(address));
    if (it == blocks_.end()) return nullptr;
    ++it->second.transfers;
    return reinterpret_cast<void*>(it->first);
  }

  void Release(void* block) {
    std::uint64_t size;
    {
      std::lock_guard lock(mutex_);
      auto it = blocks_.find(Address(block));
      if (it == blocks_.end() || it->second.transfers == 0) return;
      if (--it->second.transfers > 0 || !it->second.freed_by_owner) return;
      size = Forget(it);
    }
    munmap(block, size);
  }

  bool InTransfer(const void* block) const {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(Address(block));
    return it != blocks_.end() && it->second.transfers > 0;
  }

  std::int64_t Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::int64_t>(blocks_.size());
  }

  std::int64_t Bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_held_;
  }

 private:
  struct Block {
    std::uint64_t size;
    int transfers;
    bool freed_by_owner;
  };
  using Blocks = std::map<std::uintptr_t, Block>;

  static std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

  // The block whose range holds `address`, or end(). Caller holds mutex_.
  Blocks::iterator Holding(std::uintptr_t address) {
    auto it = blocks_.upper_bound(address);
    if (it == blocks_.begin()) return blocks_.end();
    --it;
    return address - it->first < it->second.size ? it : blocks_.end();
  }

  // Drops a block from the table and returns its size; the caller unmaps it after unlocking.
  std::uint64_t Forget(Blocks::iterator it) {
    const std::uint64_t size = it->second.size;
    bytes_held_ -= static_cast<std::int64_t>(size);
    blocks_.erase(it);
    return size;
  }

  mutable std::mutex mutex_;
  Blocks blocks_;              // guarded by mutex_
  std::int64_t bytes_held_ = 0;  // guarded by mutex_
};

BlockRegistry& Registry() {
  static BlockRegistry* registry = new BlockRegistry;  // outlives detached transfer threads
  return *registry;
}

}  // namespace

bool GlobalMemoryStatus(MemoryStatus* status) {
  std::function<MemoryStatus()> source;
  {
    std::lock_guard lock(status_source_mutex);
    source = status_source;
  }
  if (source) {
    *status = source();
    return true;
  }
  return ReadMemInfo(status);
}

void SetMemoryStatusForTests(std::function<MemoryStatus()> source) {
  std::lock_guard lock(status_source_mutex);
  status_source = std::move(source);
}

void* VirtualAlloc(std::uint64_t size) {
  if (size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Anonymous mappings are page-aligned and zero-filled by the kernel. A block of whole huge
  // pages is aligned to them, so that AdviseHugePages can have it backed by them.
  const bool enorme = size % kHugePage == 0;
  const std::uint64_t mapeado = enorme ? size + kHugePage : size;
  void* region = mmap(nullptr, mapeado, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (region == MAP_FAILED) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  void* block = region;
  if (enorme) {
    const std::uintptr_t inicio = reinterpret_cast<std::uintptr_t>(region);
    const std::uintptr_t alineado = (inicio + kHugePage - 1) & ~(kHugePage - 1);
    if (alineado > inicio) munmap(region, alineado - inicio);
    const std::uintptr_t fin = alineado + size;
    if (inicio + mapeado > fin) munmap(reinterpret_cast<void*>(fin), inicio + mapeado - fin);
    block = reinterpret_cast<void*>(alineado);
  }
  Registry().Add(block, size);
  return block;
}

void AdviseHugePages(void* block, std::uint64_t size, bool huge) {
  // A hint: the block works with either kind of page.
  if (block && size % kHugePage == 0) madvise(block, size, huge ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
}

void VirtualFree(void* buffer) {
  if (buffer) Registry().Free(buffer);
}

std::int64_t BuffersHeld() { return Registry().Count(); }
std::int64_t BufferBytesHeld() { return Registry().Bytes(); }

void* RetainForTransfer(const void* address) {
  return address ? Registry().Retain(address) : nullptr;
}

void ReleaseFromTransfer(void* block) {
  if (block) Registry().Release(block);
}

bool UsedByTransfer(const void* block) { return block && Registry().InTransfer(block); }

}  // namespace platform

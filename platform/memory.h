// Physical memory status and page-aligned block buffers.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

struct MemoryStatus {
  std::uint32_t MemoryLoad = 0;  // percent of physical memory in use
  std::uint64_t TotalPhys = 0;
  std::uint64_t AvailPhys = 0;
  // Dirty + Writeback: what the machine has yet to write to its devices (0 when not told).
  std::uint64_t Unwritten = 0;
};

// From /proc/meminfo (MemTotal, MemAvailable, Dirty, Writeback). False when it cannot be read.
bool GlobalMemoryStatus(MemoryStatus* status);

// Tests replace the reading with their own figures; an empty function restores the real one.
void SetMemoryStatusForTests(std::function<MemoryStatus()> source);

// Page-aligned, zero-filled memory for unbuffered transfers; nullptr when it cannot be had.
void* VirtualAlloc(std::uint64_t size);
// Asks that a buffer from VirtualAlloc of whole huge pages, not yet touched, be backed by huge
// pages, or by small ones whatever the machine's default: an unbuffered transfer pins its
// buffer's pages, and one huge page costs far less to pin than 512 small ones, but the first
// touch of a huge page clears all of it.
void AdviseHugePages(void* block, std::uint64_t size, bool huge);
// Releases a buffer from VirtualAlloc (nullptr does nothing). A buffer that an abandoned
// transfer still uses is released when that transfer ends.
void VirtualFree(void* buffer);

// Buffers allocated and not yet released, and their bytes (for tests and benchmarks). A buffer
// freed while a transfer still uses it counts until that transfer ends.
std::int64_t BuffersHeld();
std::int64_t BufferBytesHeld();

}  // namespace platform

// The machine services the benchmark needs around a copy: the clock, file system syncs, the page
// cache, memory figures and CPU time. Failures throw std::runtime_error saying what failed where.
#pragma once

#include <cstdint>
#include <string>

// Seconds on the monotonic clock.
double Ahora();

// syncfs() on the file system mounted at `montaje`.
void SincronizarVolumen(const std::string& montaje);
// Removes everything on the volume but lost+found.
void VaciarVolumen(const std::string& montaje);
// Writes every dirty page back, then drops the page cache, dentries and inodes.
void VaciarCache();

// A field of /proc/meminfo ("MemAvailable", "Dirty"), in bytes.
std::int64_t Meminfo(const char* campo);
// This process's resident memory (VmRSS) and peak resident memory (VmHWM), bytes, and the reset
// of the peak to the current size.
std::int64_t Residente();
std::int64_t PicoResidente();
void ReiniciarPicoResidente();

// User plus system CPU seconds of this process (RUSAGE_SELF) or of its waited-for children
// (RUSAGE_CHILDREN).
double SegundosCpu(int quien);
// User plus system CPU seconds of the calling thread.
double SegundosCpuHilo();

// The program-wide values that the workers read from their own threads: the settings the engine
// uses and the three colours of the bars. The program owns one and every worker shares it, so
// that a worker that outlives the window still reads valid memory. Every field is read whole.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/canvas.h"

struct TEntorno {
  std::atomic<std::uint32_t> TiempoError{15000};         // ms a worker waits for a completion
  std::atomic<std::int64_t> MemoriaTotal{0};             // physical memory, bytes
  std::atomic<std::int64_t> MemoriaLibre{1LL << 30};     // memory the engine leaves free, bytes
  std::atomic<std::uint32_t> IntervaloTimer{300};        // ms between speed samples
  std::atomic<platform::Color> ColorOrigen{platform::Rgb(255, 160, 128)};
  std::atomic<platform::Color> ColorDestino{platform::Rgb(0, 210, 210)};
  std::atomic<platform::Color> ColorError{platform::Rgb(210, 0, 210)};
};

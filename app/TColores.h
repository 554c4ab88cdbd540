// The three colours of the bars: a source's, a destination's and a drive in error. Settings
// rows 1 to 3 change them; the device list and the memory bar paint with them. Atomic so that the
// colour boxes of the settings panel can hold them; all of it is used on the main thread.
#pragma once

#include <atomic>

#include "platform/canvas.h"

struct TColores {
  std::atomic<platform::Color> ColorOrigen{platform::Rgb(255, 160, 128)};
  std::atomic<platform::Color> ColorDestino{platform::Rgb(0, 210, 210)};
  std::atomic<platform::Color> ColorError{platform::Rgb(210, 0, 210)};
};

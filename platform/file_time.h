// Windows file times (100 ns steps since 1 January 1601, UTC) and Unix times.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

// The file time of 1 January 1970, 00:00 UTC.
inline constexpr FileTime kUnixEpochFileTime = 116444736000000000ULL;

// Seconds and nanoseconds since the Unix epoch (seconds may be negative). Times before 1601
// cannot be expressed and give 0.
inline FileTime FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
  const std::int64_t ticks = seconds * 10000000 + nanoseconds / 100 +
                             static_cast<std::int64_t>(kUnixEpochFileTime);
  return ticks > 0 ? static_cast<FileTime>(ticks) : 0;
}

// The inverse, split into whole seconds (rounded down) and nanoseconds.
inline void UnixFromFileTime(FileTime time, std::int64_t* seconds, std::uint32_t* nanoseconds) {
  const std::int64_t ticks =
      static_cast<std::int64_t>(time) - static_cast<std::int64_t>(kUnixEpochFileTime);
  std::int64_t whole = ticks / 10000000;
  std::int64_t rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --whole;
  }
  *seconds = whole;
  *nanoseconds = static_cast<std::uint32_t>(rest * 100);
}

}  // namespace platform

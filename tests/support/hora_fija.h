// Last-write times at a whole minute plus some seconds, for tests of the same-size-and-minute
// rule: as a file time, and set on a file.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>

#include "platform/file_time.h"

namespace testing_support {

constexpr std::int64_t kMinuto = 1700000040;  // a multiple of 60
inline platform::FileTime Hora(int segundos) {
  return platform::FileTimeFromUnix(kMinuto + segundos, 0);
}
inline void PonerHora(const std::filesystem::path& ruta, int segundos) {
  const struct timespec tiempos[2] = {{kMinuto + segundos, 0}, {kMinuto + segundos, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, ruta.c_str(), tiempos, 0), 0) << ruta;
}

}  // namespace testing_support

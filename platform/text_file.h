// Reading a whole small file (/proc, /sys) as bytes. Internal to platform/.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/eintr.h"

namespace platform {

// False when the file cannot be opened or read; *text then holds what was read.
inline bool ReadTextFile(const std::string& path, std::string* text) {
  text->clear();
  const int fd = RetryOnEintr([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return false;
  char chunk[8192];
  bool ok = true;
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return read(fd, chunk, sizeof chunk); });
    if (n < 0) ok = false;
    if (n <= 0) break;
    text->append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return ok;
}

// The first line of a file, without its newline; "" when it cannot be read.
inline std::string ReadFirstLine(const std::string& path) {
  std::string text;
  ReadTextFile(path, &text);
  return text.substr(0, text.find('\n'));
}

}  // namespace platform

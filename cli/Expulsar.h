// --eject: a volume flushed to its device and unmounted, on a thread of its own, so that a stick
// that does not answer cannot hold the program; the caller looks at how it went and gives up
// after a bound of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TExpulsion {
 public:
  // Starts at once: syncfs of the volume, then umount2 of its mount point.
  explicit TExpulsion(const std::string& montaje);

  // True once it has ended; *error is then 0 when the volume was flushed and unmounted, else
  // the error code (platform/errors.h) of the step that failed.
  bool Terminada(std::uint32_t* error) const;

 private:
  struct TEstado;
  std::shared_ptr<TEstado> estado_;  // shared with the thread, which may outlive this object
};

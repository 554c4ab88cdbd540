// Real file systems for tests: a sparse image formatted as ext4, attached to a loop device
// (optionally with 4096-byte sectors) and mounted in a temporary folder. Needs root and loop
// devices; Available() tells whether this machine has them, so tests can skip cleanly.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

class LoopVolume {
 public:
  struct Options {
    std::int64_t size_bytes = 64 << 20;
    unsigned sector_size = 512;
    std::string label;  // empty: no label
    std::string uuid;   // empty: a random one
  };

  // True when loop volumes can be made here (root, losetup, mkfs.ext4, mount).
  static bool Available();

  explicit LoopVolume(const Options& options);
  ~LoopVolume();
  LoopVolume(const LoopVolume&) = delete;
  LoopVolume& operator=(const LoopVolume&) = delete;

  bool ok() const { return mounted_; }
  const std::string& mount_point() const { return mount_point_; }
  const std::string& device() const { return device_; }
  // The image file behind the device: what the device holds, as far as it was written to it.
  const std::string& image() const { return image_; }
  const std::string& error() const { return error_; }

  // Unmounts and mounts the same device again at a new folder (a stick pulled and plugged in).
  bool Remount();
  bool Unmount();
  // Detaches the mount at once, as a stick pulled with its files still open does: whoever holds
  // a folder of it goes on using it; the mount-point folder is left bare.
  bool UnmountLazily();

 private:
  std::string work_dir_, image_, device_, mount_point_, error_;
  bool mounted_ = false;
  int remounts_ = 0;
};

// Runs a shell command; true when it exits 0. Output goes to `output` when given.
bool RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace testing_support

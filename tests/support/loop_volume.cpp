#include "tests/support/loop_volume.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace testing_support {

bool RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return false;
  std::array<char, 4096> chunk;
  std::string text;
  size_t n;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), n);
  int status = pclose(pipe);
  if (output) *output = text;
  return status == 0;
}

bool LoopVolume::Available() {
  static const bool available = [] {
    if (geteuid() != 0) return false;
    return RunCommand("command -v losetup && command -v mkfs.ext4 && test -e /dev/loop-control");
  }();
  return available;
}

LoopVolume::LoopVolume(const Options& options) {
  char pattern[] = "/tmp/orsanta-volume-XXXXXX";
  if (!mkdtemp(pattern)) {
    error_ = "mkdtemp failed";
    return;
  }
  work_dir_ = pattern;
  image_ = work_dir_ + "/image";
  mount_point_ = work_dir_ + "/mnt0";
  std::filesystem::create_directories(mount_point_);
  std::string mkfs = "truncate -s " + std::to_string(options.size_bytes) + " " + image_ +
                     " && mkfs.ext4 -F -q -b 4096";
  if (!options.label.empty()) mkfs += " -L '" + options.label + "'";
  if (!options.uuid.empty()) mkfs += " -U " + options.uuid;
  mkfs += " " + image_;
  if (!RunCommand(mkfs, &error_)) return;
  // Tests running side by side may race for the same free loop device: try again.
  std::string out;
  bool attached = false;
  for (int attempt = 0; attempt < 5 && !attached; ++attempt) {
    if (attempt > 0) usleep(200000);
    attached = RunCommand(
        "losetup -f --show -b " + std::to_string(options.sector_size) + " " + image_, &out);
  }
  if (!attached) {
    error_ = out;
    return;
  }
  device_ = out.substr(0, out.find('\n'));
  mounted_ = RunCommand("mount " + device_ + " " + mount_point_, &error_);
}

bool LoopVolume::Unmount() {
  if (!mounted_) return true;
  mounted_ = !RunCommand("umount " + mount_point_, &error_);
  return !mounted_;
}

bool LoopVolume::UnmountLazily() {
  if (!mounted_) return true;
  mounted_ = !RunCommand("umount -l " + mount_point_, &error_);
  return !mounted_;
}

bool LoopVolume::Remount() {
  if (!Unmount()) return false;
  mount_point_ = work_dir_ + "/mnt" + std::to_string(++remounts_);
  std::filesystem::create_directories(mount_point_);
  mounted_ = RunCommand("mount " + device_ + " " + mount_point_, &error_);
  return mounted_;
}

LoopVolume::~LoopVolume() {
  Unmount();
  if (!device_.empty()) RunCommand("losetup -d " + device_);
  if (!work_dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(work_dir_, ignored);
  }
}

}  // namespace testing_support

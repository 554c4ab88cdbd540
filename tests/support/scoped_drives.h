// A fake drive table in place for the life of the object (drives.h); the system's table comes
// back afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/drives.h"

namespace testing_support {

class ScopedFakeDrives {
 public:
  ScopedFakeDrives() : drives_(platform::MakeFakeDrives()) { platform::SetDrives(drives_); }
  ~ScopedFakeDrives() { platform::SetDrives(nullptr); }
  ScopedFakeDrives(const ScopedFakeDrives&) = delete;
  ScopedFakeDrives& operator=(const ScopedFakeDrives&) = delete;

  void Put(char16_t letter, const std::string& directory, std::uint32_t sector_size = 512) {
    platform::FakeDrive drive;
    drive.Letter = letter;
    drive.Directory = directory;
    drive.SectorSize = sector_size;
    drives_->Put(drive);
  }

 private:
  std::shared_ptr<platform::FakeDrives> drives_;
};

}  // namespace testing_support

// The drive table for tests: letters mapped to directories, with the identity the test gives.
#include <map>
#include <mutex>

#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/path_prefix.h"
#include "platform/volume_probe.h"

namespace platform {
namespace {

char16_t UpperLetter(char16_t letter) {
  return (letter >= u'a' && letter <= u'z') ? letter - u'a' + u'A' : letter;
}

class FakeDrivesImpl final : public FakeDrives {
 public:
  void Put(const FakeDrive& drive) override {
    std::lock_guard lock(mutex_);
    drives_[UpperLetter(drive.Letter)] = drive;
  }

  void Remove(char16_t letter) override {
    std::lock_guard lock(mutex_);
    drives_.erase(UpperLetter(letter));
  }

  std::uint32_t GetLogicalDrives() override {
    std::lock_guard lock(mutex_);
    std::uint32_t mask = 0;
    for (const auto& [letter, drive] : drives_)
      if (letter >= u'A' && letter <= u'Z') mask |= 1u << (letter - u'A');
    return mask;
  }

  std::uint32_t GetDriveType(char16_t letter) override {
    FakeDrive drive;
    return Find(letter, &drive) ? drive.Type : DRIVE_NO_ROOT_DIR;
  }

  bool GetVolumeInformation(char16_t letter, std::u16string* name,
                            std::uint32_t* serial) override {
    FakeDrive drive;
    if (!Find(letter, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    if (!drive.Readable) return Fail(ERROR_NOT_READY);
    if (name) *name = drive.Label;
    if (serial) *serial = drive.Serial;
    return true;
  }

  bool GetDiskFreeSpace(char16_t letter, std::uint32_t* bytes_per_sector) override {
    FakeDrive drive;
    if (!Find(letter, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    if (bytes_per_sector) *bytes_per_sector = drive.SectorSize;
    return true;
  }

  bool GetDiskFreeSpaceEx(char16_t letter, std::int64_t* free_to_caller,
                          std::int64_t* total) override {
    FakeDrive drive;
    if (!Find(letter, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    return FreeSpaceOf(drive.Directory, free_to_caller, total);
  }

  bool MountPoint(char16_t letter, std::string* directory) override {
    FakeDrive drive;
    if (!Find(letter, &drive)) return false;
    if (directory) *directory = drive.Directory;
    return true;
  }

  bool DriveOf(const std::string& linux_path, char16_t* letter, std::string* rest) override {
    std::lock_guard lock(mutex_);
    std::size_t best_depth = 0;
    bool found = false;
    for (const auto& [drive_letter, drive] : drives_) {
      std::string below;
      std::size_t depth;
      if (BelowDirectory(drive.Directory, linux_path, &below, &depth) &&
          (!found || depth > best_depth)) {
        found = true;
        best_depth = depth;
        if (letter) *letter = drive_letter;
        if (rest) *rest = below;
      }
    }
    return found;
  }

 private:
  bool Find(char16_t letter, FakeDrive* drive) {
    std::lock_guard lock(mutex_);
    auto it = drives_.find(UpperLetter(letter));
    if (it == drives_.end()) return false;
    *drive = it->second;
    return true;
  }

  static bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
  }

  std::mutex mutex_;
  std::map<char16_t, FakeDrive> drives_;  // guarded by mutex_
};

}  // namespace

std::shared_ptr<FakeDrives> MakeFakeDrives() { return std::make_shared<FakeDrivesImpl>(); }

}  // namespace platform

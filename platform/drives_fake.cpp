// The drive table for tests: directories taken for volumes, with the identity the test gives.
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

#include "platform/drive_names.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/path_prefix.h"
#include "platform/volume_probe.h"

namespace platform {
namespace {

struct Entry {
  FakeDrive Drive;  // Letter holds the name in use
  bool Named = false;  // the test gave the name
};

class FakeDrivesImpl final : public FakeDrives {
 public:
  std::u16string Put(const FakeDrive& drive) override {
    std::lock_guard lock(mutex_);
    Entry entry{drive, false};
    entry.Drive.Directory = TrimTrailingSlashes(drive.Directory);
    entry.Drive.Letter = CanonicalDriveName(drive.Letter);
    entry.Named = !entry.Drive.Letter.empty();
    // The drive this one replaces: the one of its name, or the unnamed one at its directory.
    const auto same = std::find_if(drives_.begin(), drives_.end(), [&](const Entry& e) {
      return entry.Named ? e.Drive.Letter == entry.Drive.Letter
                         : !e.Named && e.Drive.Directory == entry.Drive.Directory;
    });
    const std::size_t index = static_cast<std::size_t>(same - drives_.begin());
    if (same == drives_.end()) {
      drives_.push_back(std::move(entry));
    } else {
      *same = std::move(entry);
    }
    NameUnnamed();
    return drives_[index].Drive.Letter;
  }

  void Remove(const std::u16string& name) override {
    std::lock_guard lock(mutex_);
    const std::u16string canonical = CanonicalDriveName(name);
    std::erase_if(drives_, [&](const Entry& e) { return e.Drive.Letter == canonical; });
    NameUnnamed();
  }

  std::vector<DriveEntry> ListDrives() override {
    std::lock_guard lock(mutex_);
    std::vector<DriveEntry> list;
    for (const Entry& e : drives_) list.push_back({e.Drive.Letter, e.Drive.Directory});
    std::sort(list.begin(), list.end(), [](const DriveEntry& a, const DriveEntry& b) {
      return DriveNameBefore(a.Name, b.Name);
    });
    return list;
  }

  std::uint32_t GetDriveType(const std::string& mount_point) override {
    FakeDrive drive;
    return Find(mount_point, &drive) ? drive.Type : DRIVE_NO_ROOT_DIR;
  }

  bool GetVolumeInformation(const std::string& mount_point, std::u16string* name,
                            std::uint32_t* serial) override {
    FakeDrive drive;
    if (!Find(mount_point, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    if (!drive.Readable) return Fail(ERROR_NOT_READY);
    if (name) *name = drive.Label;
    if (serial) *serial = drive.Serial;
    return true;
  }

  bool GetDiskFreeSpace(const std::string& mount_point, std::uint32_t* bytes_per_sector) override {
    FakeDrive drive;
    if (!Find(mount_point, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    if (bytes_per_sector) *bytes_per_sector = drive.SectorSize;
    return true;
  }

  bool GetDiskFreeSpaceEx(const std::string& mount_point, std::int64_t* free_to_caller,
                          std::int64_t* total) override {
    FakeDrive drive;
    if (!Find(mount_point, &drive)) return Fail(ERROR_PATH_NOT_FOUND);
    return FreeSpaceOf(drive.Directory, free_to_caller, total);
  }

  bool IsMountedFolder(const std::string& mount_point, int folder_fd) override {
    FakeDrive drive;
    if (!Find(mount_point, &drive)) return false;
    struct stat listed, opened;
    return stat(drive.Directory.c_str(), &listed) == 0 && fstat(folder_fd, &opened) == 0 &&
           listed.st_dev == opened.st_dev && listed.st_ino == opened.st_ino;
  }

  bool MountPoint(const std::u16string& name, std::string* directory) override {
    std::lock_guard lock(mutex_);
    const std::u16string canonical = CanonicalDriveName(name);
    for (const Entry& e : drives_) {
      if (!canonical.empty() && e.Drive.Letter == canonical) {
        if (directory) *directory = e.Drive.Directory;
        return true;
      }
    }
    return false;
  }

  bool DriveOf(const std::string& linux_path, DriveEntry* drive, std::string* rest) override {
    std::lock_guard lock(mutex_);
    const Entry* best = nullptr;
    std::size_t best_depth = 0;
    std::string best_rest;
    for (const Entry& e : drives_) {
      std::string below;
      std::size_t depth;
      if (!BelowDirectory(e.Drive.Directory, linux_path, &below, &depth)) continue;
      // Equal depths: the first in name order, whatever the order of Put.
      if (best == nullptr || depth > best_depth ||
          (depth == best_depth && DriveNameBefore(e.Drive.Letter, best->Drive.Letter))) {
        best = &e;
        best_depth = depth;
        best_rest = below;
      }
    }
    if (best == nullptr) return false;
    if (drive) *drive = {best->Drive.Letter, best->Drive.Directory};
    if (rest) *rest = best_rest;
    return true;
  }

 private:
  // The same naming as the Linux table's, with the names the test gave taken already.
  void NameUnnamed() {
    std::vector<DriveNamer::Volume> volumes;
    std::set<std::u16string> given;
    for (const Entry& e : drives_) {
      if (e.Named) {
        given.insert(e.Drive.Letter);
      } else {
        volumes.push_back({e.Drive.Directory, e.Drive.Directory == "/"});
      }
    }
    const std::vector<std::u16string> names = namer_.Name(volumes, given);
    std::size_t i = 0;
    for (Entry& e : drives_) {
      if (!e.Named) e.Drive.Letter = names[i++];
    }
  }

  // Equal mount points: the first in name order.
  bool Find(const std::string& mount_point, FakeDrive* drive) {
    std::lock_guard lock(mutex_);
    const std::string directory = TrimTrailingSlashes(mount_point);
    const Entry* found = nullptr;
    for (const Entry& e : drives_) {
      if (e.Drive.Directory == directory &&
          (found == nullptr || DriveNameBefore(e.Drive.Letter, found->Drive.Letter))) {
        found = &e;
      }
    }
    if (found == nullptr) return false;
    *drive = found->Drive;
    return true;
  }

  static bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
  }

  std::mutex mutex_;
  std::vector<Entry> drives_;  // guarded by mutex_; in the order of Put
  DriveNamer namer_;           // guarded by mutex_
};

}  // namespace

std::shared_ptr<FakeDrives> MakeFakeDrives() { return std::make_shared<FakeDrivesImpl>(); }

}  // namespace platform

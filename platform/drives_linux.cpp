// The drive table of this machine: the volumes of /proc/self/mountinfo with their letters.
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/drives.h"
#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/mountinfo.h"
#include "platform/path_prefix.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/volume_probe.h"

namespace platform {
namespace {

struct Volume {
  char16_t Letter = 0;
  std::string Identity;
  MountRecord Record;
  std::uint32_t Type = DRIVE_UNKNOWN;
  std::string SysPath;  // block device in sysfs, "" for none
  std::string DevPath;  // block device node, "" for none
};

char16_t UpperLetter(char16_t letter) {
  return (letter >= u'a' && letter <= u'z') ? letter - u'a' + u'A' : letter;
}

bool Fail(ErrorCode code) {
  SetLastError(code);
  return false;
}

std::string ReadMountInfo() {
  std::string text;
  ReadTextFile("/proc/self/mountinfo", &text);
  return text;
}

// Single files can be bind-mounted (containers do it for /etc/hosts); they are not volumes.
// Only mounts of a subdirectory are checked, so that a volume's own root is never touched.
bool MountsDirectory(const MountRecord& record) {
  if (record.Root == "/") return true;
  struct stat info;
  return stat(record.MountPoint.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The drive type, and the block device when there is one; false for a mount that is no drive
// (a file system type that needs a block device but has none).
bool Describe(const VolumeMount& mount, Volume* volume) {
  volume->Identity = mount.Identity;
  volume->Record = mount.Record;
  BlockDevice device;
  const bool has_device = FindBlockDevice(mount.Record, &device);
  if (has_device) {
    volume->SysPath = device.SysPath;
    volume->DevPath = device.DevPath;
  }
  switch (ClassifyFileSystem(mount.Record.FsType)) {
    case FsKind::kRemote: volume->Type = DRIVE_REMOTE; return true;
    case FsKind::kRamDisk: volume->Type = DRIVE_RAMDISK; return true;
    case FsKind::kCdRom: volume->Type = DRIVE_CDROM; return true;
    case FsKind::kPseudo:  // only "/" gets here: the root is always a drive
    case FsKind::kLocal:
    case FsKind::kBlock:
      if (has_device) {
        volume->Type = device.Removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
        return true;
      }
      volume->Type = DRIVE_FIXED;
      return mount.Record.MountPoint == "/" ||
             ClassifyFileSystem(mount.Record.FsType) == FsKind::kLocal;
  }
  return false;
}

class LinuxDrives final : public Drives {
 public:
  LinuxDrives() { GetLogicalDrives(); }

  std::uint32_t GetLogicalDrives() override {
    std::lock_guard refresh(refresh_mutex_);
    std::vector<Volume> volumes;
    for (const VolumeMount& mount :
         SelectVolumeMounts(ParseMountInfo(ReadMountInfo()), MountsDirectory)) {
      Volume volume;
      if (Describe(mount, &volume)) volumes.push_back(std::move(volume));
    }
    AssignLetters(&volumes);
    std::map<char16_t, Volume> table;
    std::uint32_t mask = 0;
    for (Volume& volume : volumes) {
      if (volume.Letter == 0) continue;
      mask |= 1u << (volume.Letter - u'A');
      table[volume.Letter] = std::move(volume);
    }
    std::lock_guard lock(table_mutex_);
    table_ = std::move(table);
    return mask;
  }

  std::uint32_t GetDriveType(char16_t letter) override {
    Volume volume;
    return Find(letter, &volume) ? volume.Type : DRIVE_NO_ROOT_DIR;
  }

  bool GetVolumeInformation(char16_t letter, std::u16string* name,
                            std::uint32_t* serial) override {
    Volume volume;
    if (!Find(letter, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
    struct statfs info;
    if (RetryOnEintr([&] { return statfs(volume.Record.MountPoint.c_str(), &info); }) != 0)
      return Fail(ErrorFromErrno(errno));
    std::string label, uuid;
    ProbeLabelAndUuid(volume.DevPath, &label, &uuid);
    std::uint32_t value = SerialFromUuid(uuid);
    if (value == 0) {
      std::uint32_t fsid[2];
      static_assert(sizeof(fsid) == sizeof(info.f_fsid));
      std::memcpy(fsid, &info.f_fsid, sizeof(fsid));
      value = SerialFromFsid(fsid[0], fsid[1], volume.Record.Major, volume.Record.Minor);
    }
    if (name) *name = DecodeName(label);
    if (serial) *serial = value;
    return true;
  }

  bool GetDiskFreeSpace(char16_t letter, std::uint32_t* bytes_per_sector) override {
    Volume volume;
    if (!Find(letter, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
    if (bytes_per_sector) *bytes_per_sector = SectorSizeOf(volume.Record.MountPoint, volume.SysPath);
    return true;
  }

  bool GetDiskFreeSpaceEx(char16_t letter, std::int64_t* free_to_caller,
                          std::int64_t* total) override {
    Volume volume;
    if (!Find(letter, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
    return FreeSpaceOf(volume.Record.MountPoint, free_to_caller, total);
  }

  bool MountPoint(char16_t letter, std::string* directory) override {
    Volume volume;
    if (!Find(letter, &volume)) return false;
    if (directory) *directory = volume.Record.MountPoint;
    return true;
  }

  bool DriveOf(const std::string& linux_path, char16_t* letter, std::string* rest) override {
    std::lock_guard lock(table_mutex_);
    bool found = false;
    std::size_t best_depth = 0;
    for (const auto& [drive_letter, volume] : table_) {
      std::string below;
      std::size_t depth;
      if (BelowDirectory(volume.Record.MountPoint, linux_path, &below, &depth) &&
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
  // C for "/"; a volume already lettered keeps its letter; a new one takes the letter it had
  // before in this run if that is free, else the first free one from D. Beyond Z: no letter.
  void AssignLetters(std::vector<Volume>* volumes) {
    const auto bit = [](char16_t letter) { return 1u << (letter - u'A'); };
    std::uint32_t used = 0;
    for (Volume& volume : *volumes) {
      auto kept = assigned_.find(volume.Identity);
      if (volume.Record.MountPoint == "/") {
        volume.Letter = u'C';
      } else if (kept != assigned_.end()) {
        volume.Letter = kept->second;  // never C: only "/" gets it
      }
      used |= volume.Letter ? bit(volume.Letter) : 0;
    }
    for (Volume& volume : *volumes) {
      if (volume.Letter != 0) continue;
      auto before = remembered_.find(volume.Identity);
      if (before != remembered_.end() && !(used & bit(before->second))) {
        volume.Letter = before->second;
      } else {
        for (char16_t letter = u'D'; letter <= u'Z' && volume.Letter == 0; ++letter)
          if (!(used & bit(letter))) volume.Letter = letter;
      }
      used |= volume.Letter ? bit(volume.Letter) : 0;
    }
    assigned_.clear();
    for (const Volume& volume : *volumes) {
      if (volume.Letter == 0) continue;
      assigned_[volume.Identity] = volume.Letter;
      remembered_[volume.Identity] = volume.Letter;
    }
  }

  bool Find(char16_t letter, Volume* volume) {
    std::lock_guard lock(table_mutex_);
    auto it = table_.find(UpperLetter(letter));
    if (it == table_.end()) return false;
    *volume = it->second;
    return true;
  }

  // Lock order: refresh_mutex_, then table_mutex_.
  std::mutex refresh_mutex_;  // serialises refreshes
  std::map<std::string, char16_t> assigned_;    // guarded by refresh_mutex_: mounted volumes
  std::map<std::string, char16_t> remembered_;  // guarded by refresh_mutex_: every one seen
  std::mutex table_mutex_;
  std::map<char16_t, Volume> table_;  // guarded by table_mutex_: the table as last read
};

std::mutex current_mutex;
std::shared_ptr<Drives> current;  // guarded by current_mutex; the Linux table on first use

}  // namespace

std::shared_ptr<Drives> MakeLinuxDrives() { return std::make_shared<LinuxDrives>(); }

std::shared_ptr<Drives> CurrentDrives() {
  std::lock_guard lock(current_mutex);
  if (!current) current = MakeLinuxDrives();
  return current;
}

void SetDrives(std::shared_ptr<Drives> drives) {
  std::lock_guard lock(current_mutex);
  current = std::move(drives);
}

}  // namespace platform

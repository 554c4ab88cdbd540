// The drive table of this machine: the volumes of /proc/self/mountinfo with their names.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/drive_names.h"
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
  std::u16string Name;
  std::string Identity;
  MountRecord Record;
  std::uint32_t Type = DRIVE_UNKNOWN;
  std::string SysPath;  // block device in sysfs, "" for none
  std::string DevPath;  // block device node, "" for none
};

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
  LinuxDrives() { ListDrives(); }

  std::vector<DriveEntry> ListDrives() override {
    std::lock_guard refresh(refresh_mutex_);
    std::vector<Volume> volumes;
    for (const VolumeMount& mount :
         SelectVolumeMounts(ParseMountInfo(ReadMountInfo()), MountsDirectory)) {
      Volume volume;
      if (Describe(mount, &volume)) volumes.push_back(std::move(volume));
    }
    std::vector<DriveNamer::Volume> seen;
    for (const Volume& volume : volumes)
      seen.push_back({volume.Identity, volume.Record.MountPoint == "/"});
    const std::vector<std::u16string> names = namer_.Name(seen);
    for (std::size_t i = 0; i < volumes.size(); ++i) volumes[i].Name = names[i];
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
      return DriveNameBefore(a.Name, b.Name);
    });
    std::vector<DriveEntry> list;
    for (const Volume& volume : volumes) list.push_back({volume.Name, volume.Record.MountPoint});
    std::lock_guard lock(table_mutex_);
    table_ = std::move(volumes);
    return list;
  }

  std::uint32_t GetDriveType(const std::string& mount_point) override {
    Volume volume;
    return Find(mount_point, &volume) ? volume.Type : DRIVE_NO_ROOT_DIR;
  }

  bool GetVolumeInformation(const std::string& mount_point, std::u16string* name,
                            std::uint32_t* serial) override {
    Volume volume;
    if (!Find(mount_point, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
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

  bool GetDiskFreeSpace(const std::string& mount_point, std::uint32_t* bytes_per_sector) override {
    Volume volume;
    if (!Find(mount_point, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
    if (bytes_per_sector) *bytes_per_sector = SectorSizeOf(volume.Record.MountPoint, volume.SysPath);
    return true;
  }

  bool IsMountedFolder(const std::string& /*mount_point*/, int folder_fd) override {
    struct statx info;
    if (statx(folder_fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &info) != 0) return false;
    if (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
      return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    // Kernels that do not tell: a mount's root lies on another device than the folder above.
    struct stat parent;
    return fstatat(folder_fd, "..", &parent, 0) == 0 &&
           (parent.st_dev != makedev(info.stx_dev_major, info.stx_dev_minor) ||
            parent.st_ino == info.stx_ino);
  }

  bool GetDiskFreeSpaceEx(const std::string& mount_point, std::int64_t* free_to_caller,
                          std::int64_t* total) override {
    Volume volume;
    if (!Find(mount_point, &volume)) return Fail(ERROR_PATH_NOT_FOUND);
    return FreeSpaceOf(volume.Record.MountPoint, free_to_caller, total);
  }

  bool MountPoint(const std::u16string& name, std::string* directory) override {
    const std::u16string canonical = CanonicalDriveName(name);
    std::lock_guard lock(table_mutex_);
    for (const Volume& volume : table_) {
      if (!canonical.empty() && volume.Name == canonical) {
        if (directory) *directory = volume.Record.MountPoint;
        return true;
      }
    }
    return false;
  }

  bool DriveOf(const std::string& linux_path, DriveEntry* drive, std::string* rest) override {
    std::lock_guard lock(table_mutex_);
    const Volume* best = nullptr;
    std::size_t best_depth = 0;
    std::string best_rest;
    for (const Volume& volume : table_) {
      std::string below;
      std::size_t depth;
      if (BelowDirectory(volume.Record.MountPoint, linux_path, &below, &depth) &&
          (best == nullptr || depth > best_depth)) {
        best = &volume;
        best_depth = depth;
        best_rest = below;
      }
    }
    if (best == nullptr) return false;
    if (drive) *drive = {best->Name, best->Record.MountPoint};
    if (rest) *rest = best_rest;
    return true;
  }

 private:
  bool Find(const std::string& mount_point, Volume* volume) {
    const std::string directory = TrimTrailingSlashes(mount_point);
    std::lock_guard lock(table_mutex_);
    for (const Volume& candidate : table_) {
      if (candidate.Record.MountPoint == directory) {
        *volume = candidate;
        return true;
      }
    }
    return false;
  }

  // Lock order: refresh_mutex_, then table_mutex_.
  std::mutex refresh_mutex_;  // serialises refreshes
  DriveNamer namer_;          // guarded by refresh_mutex_
  std::mutex table_mutex_;
  std::vector<Volume> table_;  // guarded by table_mutex_: the table as last read, in name order
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

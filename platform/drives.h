// Drives: mounted volumes, reached through their mount points and shown to the user by a name
// (drive_names.h). The Linux table reads /proc/self/mountinfo on every ListDrives; tests install
// a fake table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

// One drive of a table.
struct DriveEntry {
  std::u16string Name;     // the user's name for it: "C", "E", "AB"
  std::string MountPoint;  // where it is mounted, without a trailing slash ("/" for the root)
};

class Drives {
 public:
  virtual ~Drives() = default;

  // Main thread (device refresh). Re-reads the volume table and returns every drive in it, in
  // the order of their names (DriveNameBefore). There is no limit to their number.
  virtual std::vector<DriveEntry> ListDrives() = 0;

  // Any thread. The calls below name a drive by its mount point as ListDrives or DriveOf gave
  // it (trailing slashes do not matter) and read the table as last read; one that is not in it
  // fails with ERROR_PATH_NOT_FOUND (DRIVE_NO_ROOT_DIR for the type).
  virtual std::uint32_t GetDriveType(const std::string& mount_point) = 0;
  // Volume label (may be empty) and serial. False when the volume cannot be read.
  virtual bool GetVolumeInformation(const std::string& mount_point, std::u16string* name,
                                    std::uint32_t* serial) = 0;
  // Sector size of the volume (direct-I/O alignment).
  virtual bool GetDiskFreeSpace(const std::string& mount_point,
                                std::uint32_t* bytes_per_sector) = 0;
  // Whether the folder open at `folder_fd` (opened from mount_point) is that drive's root now:
  // false once the drive is unmounted and the bare folder it was mounted on is left.
  virtual bool IsMountedFolder(const std::string& mount_point, int folder_fd) = 0;
  // Free bytes for the caller and total bytes.
  virtual bool GetDiskFreeSpaceEx(const std::string& mount_point, std::int64_t* free_to_caller,
                                  std::int64_t* total) = 0;
  // Where the drive the user knows by `name` is mounted ("e" finds "E"). False for a name not
  // in the table. Only paths written with a drive's name need it (paths.h).
  virtual bool MountPoint(const std::u16string& name, std::string* directory) = 0;
  // The drive that holds a Linux path (longest mount point) and the rest of the path below it
  // ("" for the mount point itself, else starting without a slash).
  virtual bool DriveOf(const std::string& linux_path, DriveEntry* drive, std::string* rest) = 0;
};

// The table in use; the Linux one unless a test installed another. Safe from any thread.
std::shared_ptr<Drives> CurrentDrives();
void SetDrives(std::shared_ptr<Drives> drives);
std::shared_ptr<Drives> MakeLinuxDrives();

// A table for tests: directories taken for mounted volumes with the identity given here. Free
// space and the mount check come from the directory's real file system; a directory in the
// table is mounted as long as it is the same directory.
struct FakeDrive {
  // The drive's name; empty: the table names it as the Linux one would (C for "/", then D on
  // in the order of Put, then AA, AB, ...).
  std::u16string Letter;
  std::string Directory;
  std::u16string Label;
  std::uint32_t Serial = 0;
  std::uint32_t Type = DRIVE_REMOVABLE;
  std::uint32_t SectorSize = 512;
  bool Readable = true;  // false: GetVolumeInformation fails (an empty card reader)
};

class FakeDrives : public Drives {
 public:
  // Main thread: add, replace or remove a drive between refreshes. A drive put with a name
  // replaces the one of that name; one put without a name replaces the unnamed one put at the
  // same directory and keeps its name. Returns the drive's name.
  virtual std::u16string Put(const FakeDrive& drive) = 0;
  virtual void Remove(const std::u16string& name) = 0;
};
std::shared_ptr<FakeDrives> MakeFakeDrives();

}  // namespace platform

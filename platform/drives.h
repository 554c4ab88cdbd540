// Drives: mounted volumes known by a letter, as the Windows drive services present them. The
// Linux table reads /proc/self/mountinfo on every GetLogicalDrives; tests install a fake table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/types.h"

namespace platform {

class Drives {
 public:
  virtual ~Drives() = default;

  // Main thread (device refresh). Re-reads the volume table; bit i set = letter 'A' + i in use.
  virtual std::uint32_t GetLogicalDrives() = 0;

  // Any thread, from here on the letter-based calls read the table as last read.
  virtual std::uint32_t GetDriveType(char16_t letter) = 0;
  // Volume label (may be empty) and serial. False when the volume cannot be read.
  virtual bool GetVolumeInformation(char16_t letter, std::u16string* name,
                                    std::uint32_t* serial) = 0;
  // Sector size of the volume (direct-I/O alignment).
  virtual bool GetDiskFreeSpace(char16_t letter, std::uint32_t* bytes_per_sector) = 0;
  // Free bytes for the caller and total bytes.
  virtual bool GetDiskFreeSpaceEx(char16_t letter, std::int64_t* free_to_caller,
                                  std::int64_t* total) = 0;
  // Directory where the drive is mounted. False for a letter not in the table.
  virtual bool MountPoint(char16_t letter, std::string* directory) = 0;
  // The drive that holds a Linux path (longest mount point) and the rest of the path below it
  // ("" for the mount point itself, else starting without a slash).
  virtual bool DriveOf(const std::string& linux_path, char16_t* letter, std::string* rest) = 0;
};

// The table in use; the Linux one unless a test installed another. Safe from any thread.
std::shared_ptr<Drives> CurrentDrives();
void SetDrives(std::shared_ptr<Drives> drives);
std::shared_ptr<Drives> MakeLinuxDrives();

// A table for tests: letters mapped to directories with the identity given here. Free space and
// the mount check come from the directory's real file system.
struct FakeDrive {
  char16_t Letter = u'C';
  std::string Directory;
  std::u16string Label;
  std::uint32_t Serial = 0;
  std::uint32_t Type = DRIVE_REMOVABLE;
  std::uint32_t SectorSize = 512;
  bool Readable = true;  // false: GetVolumeInformation fails (an empty card reader)
};

class FakeDrives : public Drives {
 public:
  // Main thread: replace or remove a drive between refreshes.
  virtual void Put(const FakeDrive& drive) = 0;
  virtual void Remove(char16_t letter) = 0;
};
std::shared_ptr<FakeDrives> MakeFakeDrives();

}  // namespace platform

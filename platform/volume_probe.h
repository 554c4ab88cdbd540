// What the Linux drive table asks the machine about one volume: its block device, label, UUID,
// serial and sector size. Internal to drives_linux.cpp (and its tests).
#pragma once

#include <cstdint>
#include <string>

#include "platform/mountinfo.h"

namespace platform {

struct BlockDevice {
  std::string SysPath;  // resolved /sys/devices/... directory of the device (partition or disk)
  std::string DevPath;  // "/dev/sda1"
  bool Removable = false;  // the disk is removable or sits on USB
};

// The block device a mount sits on (by its device number, else by a /dev source); false when
// it has none.
bool FindBlockDevice(const MountRecord& record, BlockDevice* device);

// File system label and UUID as blkid gives them (empty when there is none), by probing the
// device, else from the /dev/disk/by-label and by-uuid links.
void ProbeLabelAndUuid(const std::string& dev_path, std::string* label, std::string* uuid);

// The serial Windows would show for a file system UUID: "ABCD-1234" (vfat, exfat) gives
// 0xABCD1234, 16 hex digits (ntfs) their last 8, any other UUID its first 8 hex digits.
// 0 when the text holds no such digits.
std::uint32_t SerialFromUuid(const std::string& uuid);

// A non-zero serial for a volume without UUID, from statfs().f_fsid and its device number.
std::uint32_t SerialFromFsid(std::uint32_t fsid0, std::uint32_t fsid1, unsigned major,
                             unsigned minor);

// Direct-I/O alignment of the volume: statx STATX_DIOALIGN on the mount point, else the logical
// block size of the block device (the parent disk for a partition), else 512.
// Free bytes for the caller and total bytes of the file system holding `directory` (statvfs);
// false with the last error set when it cannot be read.
bool FreeSpaceOf(const std::string& directory, std::int64_t* free_to_caller,
                 std::int64_t* total);

std::uint32_t SectorSizeOf(const std::string& mount_point, const std::string& sys_path);

}  // namespace platform

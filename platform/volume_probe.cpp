#include "platform/volume_probe.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "platform/eintr.h"
#include "platform/errors.h"
#include "platform/text_file.h"

namespace platform {
namespace {

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The disk of a partition (its parent directory in sysfs), or the device itself.
std::string DiskOf(const std::string& sys_path) {
  if (Exists(sys_path + "/partition")) return sys_path.substr(0, sys_path.rfind('/'));
  return sys_path;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// udev's escaping of link names: "\x20" for a space.
std::string UnescapeUdev(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        HexValue(name[i + 2]) >= 0 && HexValue(name[i + 3]) >= 0) {
      out.push_back(static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3])));
      i += 3;
    } else {
      out.push_back(name[i]);
    }
  }
  return out;
}

// The name of the link in `directory` that points at the device, unescaped; "" if none.
std::string LinkNameFor(const char* directory, const std::string& device_real) {
  DIR* dir = opendir(directory);
  if (!dir) return {};
  std::string found;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (RealPath(std::string(directory) + "/" + name) == device_real) {
      found = UnescapeUdev(name);
      break;
    }
  }
  closedir(dir);
  return found;
}

bool ProbeWithBlkid(const std::string& dev_path, std::string* label, std::string* uuid) {
  blkid_probe probe = blkid_new_probe_from_filename(dev_path.c_str());
  if (!probe) return false;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                               BLKID_SUBLKS_TYPE);
  const bool found = blkid_do_safeprobe(probe) == 0;
  if (found) {
    const char* value = nullptr;
    std::size_t length = 0;
    if (blkid_probe_lookup_value(probe, "LABEL", &value, &length) == 0 && value)
      *label = value;
    if (blkid_probe_lookup_value(probe, "UUID", &value, &length) == 0 && value) *uuid = value;
  }
  blkid_free_probe(probe);
  return found;
}

}  // namespace

bool FindBlockDevice(const MountRecord& record, BlockDevice* device) {
  unsigned major = record.Major, minor = record.Minor;
  std::string sys = RealPath("/sys/dev/block/" + std::to_string(major) + ":" +
                             std::to_string(minor));
  if (sys.empty() && record.Source.rfind("/dev/", 0) == 0) {
    // btrfs and others report an anonymous device number; the source names the real one.
    struct stat info;
    if (stat(record.Source.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
      major = ::major(info.st_rdev);
      minor = ::minor(info.st_rdev);
      sys = RealPath("/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
    }
  }
  if (sys.empty()) return false;
  BlockDevice result;
  result.SysPath = sys;
  // DEVNAME in uevent names the node below /dev.
  std::string text;
  ReadTextFile(sys + "/uevent", &text);
  std::istringstream uevent(text);
  std::string line;
  while (std::getline(uevent, line))
    if (line.rfind("DEVNAME=", 0) == 0) result.DevPath = "/dev/" + line.substr(8);
  if ((result.DevPath.empty() || !Exists(result.DevPath)) &&
      record.Source.rfind("/dev/", 0) == 0)
    result.DevPath = record.Source;
  result.Removable = ReadFirstLine(DiskOf(sys) + "/removable") == "1" ||
                     sys.find("/usb") != std::string::npos;
  *device = std::move(result);
  return true;
}

void ProbeLabelAndUuid(const std::string& dev_path, std::string* label, std::string* uuid) {
  label->clear();
  uuid->clear();
  if (dev_path.empty()) return;
  if (ProbeWithBlkid(dev_path, label, uuid)) return;
  const std::string device_real = RealPath(dev_path);
  if (device_real.empty()) return;
  *label = LinkNameFor("/dev/disk/by-label", device_real);
  *uuid = LinkNameFor("/dev/disk/by-uuid", device_real);
}

std::uint32_t SerialFromUuid(const std::string& uuid) {
  std::string digits;
  for (char c : uuid)
    if (HexValue(c) >= 0) digits.push_back(c);
  if (digits.size() < 8) return 0;
  // "ABCD-1234" is the serial itself; 16 digits are an NTFS serial whose low half Windows shows.
  const bool ntfs = digits.size() == 16 && uuid.size() == 16;
  const std::string chosen = ntfs ? digits.substr(8) : digits.substr(0, 8);
  std::uint32_t serial = 0;
  for (char c : chosen) serial = (serial << 4) | static_cast<std::uint32_t>(HexValue(c));
  return serial;
}

std::uint32_t SerialFromFsid(std::uint32_t fsid0, std::uint32_t fsid1, unsigned major,
                             unsigned minor) {
  std::uint32_t serial = fsid0 ^ ((fsid1 << 16) | (fsid1 >> 16));
  if (serial == 0) serial = 0x4F520000u ^ (major << 20) ^ minor;  // "OR" + the device number
  return serial != 0 ? serial : 1;
}

std::uint32_t SectorSizeOf(const std::string& mount_point, const std::string& sys_path) {
#ifdef STATX_DIOALIGN
  struct statx info;
  if (statx(AT_FDCWD, mount_point.c_str(), AT_STATX_DONT_SYNC, STATX_DIOALIGN, &info) == 0 &&
      (info.stx_mask & STATX_DIOALIGN) && info.stx_dio_offset_align > 0)
    return info.stx_dio_offset_align;
#else
  (void)mount_point;
#endif
  if (!sys_path.empty()) {
    for (const std::string& dir : {sys_path, DiskOf(sys_path)}) {
      const std::string text = ReadFirstLine(dir + "/queue/logical_block_size");
      const long size = text.empty() ? 0 : std::strtol(text.c_str(), nullptr, 10);
      if (size >= 512 && size <= (1 << 16)) return static_cast<std::uint32_t>(size);
    }
  }
  return 512;
}

bool FreeSpaceOf(const std::string& directory, std::int64_t* free_to_caller,
                 std::int64_t* total) {
  struct statvfs info;
  if (RetryOnEintr([&] { return statvfs(directory.c_str(), &info); }) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  if (free_to_caller) *free_to_caller = static_cast<std::int64_t>(info.f_bavail) * info.f_frsize;
  if (total) *total = static_cast<std::int64_t>(info.f_blocks) * info.f_frsize;
  return true;
}

}  // namespace platform

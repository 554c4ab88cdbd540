#include "platform/mountinfo.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "platform/path_prefix.h"

namespace platform {
namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

std::vector<std::string> SplitSpaces(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size()) break;
    std::size_t end = line.find(' ', pos);
    if (end == std::string::npos) end = line.size();
    fields.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return fields;
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  *value = result;
  return true;
}

bool ParseDevice(const std::string& text, unsigned* major, unsigned* minor) {
  const std::size_t colon = text.find(':');
  int a, b;
  if (colon == std::string::npos || !ParseInt(text.substr(0, colon), &a) ||
      !ParseInt(text.substr(colon + 1), &b))
    return false;
  *major = static_cast<unsigned>(a);
  *minor = static_cast<unsigned>(b);
  return true;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Below /proc or /sys (or the place itself): kernel interface trees, never a user's volume.
bool InKernelTree(const std::string& mount_point) {
  for (const char* tree : {"/proc", "/sys"})
    if (BelowDirectory(tree, mount_point, nullptr, nullptr)) return true;
  return false;
}

}  // namespace

std::string UnescapeMountField(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

bool ParseMountInfoLine(const std::string& line, MountRecord* record) {
  const std::vector<std::string> fields = SplitSpaces(line);
  // id parent maj:min root mount-point options [optional...] - type source super-options
  const auto separator = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6),
                                   fields.end(), std::string("-"));
  if (fields.size() < 9 || separator == fields.end() || fields.end() - separator < 3) return false;
  MountRecord r;
  if (!ParseInt(fields[0], &r.Id) || !ParseInt(fields[1], &r.ParentId) ||
      !ParseDevice(fields[2], &r.Major, &r.Minor))
    return false;
  r.Root = UnescapeMountField(fields[3]);
  r.MountPoint = UnescapeMountField(fields[4]);
  r.Options = fields[5];
  r.FsType = UnescapeMountField(*(separator + 1));
  r.Source = UnescapeMountField(*(separator + 2));
  *record = std::move(r);
  return true;
}

std::vector<MountRecord> ParseMountInfo(const std::string& text) {
  std::vector<MountRecord> records;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) {
    MountRecord record;
    if (ParseMountInfoLine(line, &record)) records.push_back(std::move(record));
  }
  return records;
}

FsKind ClassifyFileSystem(const std::string& fs_type) {
  static const std::set<std::string> kPseudo = {
      "proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "mqueue", "debugfs",
      "tracefs", "securityfs", "pstore", "bpf", "autofs", "binfmt_misc", "hugetlbfs",
      "configfs", "fusectl", "overlay", "overlayfs", "aufs", "nsfs", "efivarfs", "rpc_pipefs",
      "selinuxfs", "smackfs", "apparmorfs", "nfsd", "sockfs", "pipefs", "anon_inodefs",
      "rootfs", "devfs", "usbfs", "xenfs", "binder", "binderfs", "cpuset", "dax", "zonefs",
      "fuse.lxcfs", "fuse.gvfsd-fuse", "fuse.gvfs-fuse-daemon", "fuse.portal",
      "fuse.xdg-document-portal", "fuse.dumbfs", "ipathfs", "openpromfs", "spufs", "resctrl",
      "vboxsf-none"};
  static const std::set<std::string> kRemote = {
      "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ncp", "9p", "ceph", "fuse.ceph",
      "fuse.ceph-fuse", "glusterfs", "fuse.glusterfs", "afs", "coda", "davfs", "fuse.sshfs",
      "sshfs", "fuse.rclone", "fuse.s3fs", "fuse.smbnetfs", "fuse.curlftpfs", "ftpfs",
      "lustre", "virtiofs", "orangefs", "pvfs2", "beegfs", "gpfs", "vboxsf", "vmhgfs",
      "fuse.vmhgfs-fuse", "shfs", "fuse.davfs2"};
  static const std::set<std::string> kRam = {"tmpfs", "ramfs"};
  static const std::set<std::string> kCdRom = {"iso9660", "udf", "squashfs", "cramfs", "erofs",
                                               "fuse.squashfuse", "fuse.snapfuse"};
  static const std::set<std::string> kLocal = {"zfs", "bcachefs"};
  if (kPseudo.count(fs_type)) return FsKind::kPseudo;
  if (kRemote.count(fs_type)) return FsKind::kRemote;
  if (kRam.count(fs_type)) return FsKind::kRamDisk;
  if (kCdRom.count(fs_type)) return FsKind::kCdRom;
  if (kLocal.count(fs_type) || StartsWith(fs_type, "fuse.")) return FsKind::kLocal;
  return FsKind::kBlock;  // "fuseblk" too: ntfs-3g and exfat-fuse sit on a block device
}

std::vector<VolumeMount> SelectVolumeMounts(
    const std::vector<MountRecord>& records,
    const std::function<bool(const MountRecord&)>& usable) {
  // A mount whose child sits on the same place is hidden under it.
  std::map<int, const MountRecord*> by_id;
  for (const MountRecord& r : records) by_id[r.Id] = &r;
  std::set<int> hidden;
  for (const MountRecord& r : records) {
    auto parent = by_id.find(r.ParentId);
    if (parent != by_id.end() && parent->first != r.Id &&
        parent->second->MountPoint == r.MountPoint)
      hidden.insert(r.ParentId);
  }

  std::vector<const MountRecord*> candidates;
  for (const MountRecord& r : records) {
    const bool is_root = r.MountPoint == "/";
    if (!is_root && (hidden.count(r.Id) || InKernelTree(r.MountPoint) ||
                     ClassifyFileSystem(r.FsType) == FsKind::kPseudo))
      continue;
    if (!is_root && usable && !usable(r)) continue;
    candidates.push_back(&r);
  }

  // Per device: does any candidate mount its own root?
  const auto device_of = [](const MountRecord& r) {
    return std::to_string(r.Major) + ":" + std::to_string(r.Minor);
  };
  std::set<std::string> has_root_mount;
  for (const MountRecord* r : candidates)
    if (r->Root == "/") has_root_mount.insert(device_of(*r));

  // Group key: the device when its root is mounted somewhere, else device and directory.
  // Within a group the root mount "/" wins, then the shortest mount point, then the first seen.
  std::map<std::string, std::size_t> group_index;
  std::vector<VolumeMount> volumes;
  for (const MountRecord* r : candidates) {
    const std::string device = device_of(*r);
    const bool whole = has_root_mount.count(device) > 0;
    if (whole && r->Root != "/" && r->MountPoint != "/") continue;
    const std::string key = whole ? device + ":/" : device + ":" + r->Root;
    auto [it, inserted] = group_index.emplace(key, volumes.size());
    if (inserted) {
      volumes.push_back(VolumeMount{*r, key});
      continue;
    }
    MountRecord& chosen = volumes[it->second].Record;
    const bool chosen_is_root = chosen.MountPoint == "/";
    if (!chosen_is_root &&
        (r->MountPoint == "/" || r->MountPoint.size() < chosen.MountPoint.size()))
      chosen = *r;
  }
  return volumes;
}

}  // namespace platform

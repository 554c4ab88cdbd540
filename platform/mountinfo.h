// Reading /proc/self/mountinfo: the records of its lines, the kind of each file system type and
// the choice of one mount per volume. Pure text processing, so that tests can feed lines; the
// Linux drive table (drives_linux.cpp) adds what needs the machine (block devices, labels).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// One line of mountinfo (see proc(5)). Paths and source are unescaped (\040 -> ' ').
struct MountRecord {
  int Id = 0;
  int ParentId = 0;
  unsigned Major = 0;
  unsigned Minor = 0;
  std::string Root;        // directory of the file system mounted here ("/" = its own root)
  std::string MountPoint;  // where it is mounted
  std::string Options;     // per-mount options ("rw,relatime")
  std::string FsType;      // "ext4", "fuse.sshfs", ...
  std::string Source;      // "/dev/sda1", "server:/export", "tmpfs", ...
};

// Undoes the octal escapes of mountinfo (\040 space, \011 tab, \012 newline, \134 backslash).
std::string UnescapeMountField(const std::string& field);

// False for a line that is not a mountinfo record.
bool ParseMountInfoLine(const std::string& line, MountRecord* record);
// Every well-formed line of the text, in order.
std::vector<MountRecord> ParseMountInfo(const std::string& text);

enum class FsKind {
  kPseudo,   // kernel interfaces and container plumbing: never a drive
  kRemote,   // network file systems
  kRamDisk,  // tmpfs, ramfs
  kCdRom,    // read-only image formats
  kLocal,    // local file systems that need no block device (zfs, FUSE)
  kBlock,    // anything else: a drive only when it sits on a block device
};
FsKind ClassifyFileSystem(const std::string& fs_type);

// A mount chosen to stand for a volume, with the identity that keeps its letter.
struct VolumeMount {
  MountRecord Record;
  std::string Identity;  // "MAJ:MIN:root"
};

// The mounts that stand for volumes, in order of first sight. Leaves out pseudo file systems,
// mounts below /proc and /sys, mounts hidden by a later mount on the same place, and records
// that `usable` refuses (the Linux table refuses mounts of single files). A file system
// mounted at several places gives one volume: the mount of its own root with the shortest path;
// one that has no mount of its own root gives one volume per mounted directory. The mount at
// "/" is always chosen, whatever its type.
std::vector<VolumeMount> SelectVolumeMounts(
    const std::vector<MountRecord>& records,
    const std::function<bool(const MountRecord&)>& usable = nullptr);

}  // namespace platform

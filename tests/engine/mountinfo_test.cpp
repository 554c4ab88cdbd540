#include "platform/mountinfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/volume_probe.h"

namespace platform {
namespace {

TEST(MountInfoTest, UnescapesOctalEscapes) {
  struct Case {
    std::string field, expected;
  };
  const std::vector<Case> cases = {
      {"/plain", "/plain"},
      {"/with\\040space", "/with space"},
      {"/tab\\011x", "/tab\tx"},
      {"/nl\\012x", "/nl\nx"},
      {"/back\\134slash", "/back\\slash"},
      {"/\\040\\040", "/  "},
      {"/end\\04", "/end\\04"},     // too short: kept as it is
      {"/bad\\089", "/bad\\089"},   // not octal
      {"\\", "\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnescapeMountField(c.field), c.expected) << c.field;
}

TEST(MountInfoTest, ParsesLines) {
  MountRecord r;
  ASSERT_TRUE(ParseMountInfoLine(
      "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/root rw,errors=continue",
      &r));
  EXPECT_EQ(r.Id, 36);
  EXPECT_EQ(r.ParentId, 35);
  EXPECT_EQ(r.Major, 98u);
  EXPECT_EQ(r.Minor, 0u);
  EXPECT_EQ(r.Root, "/mnt1");
  EXPECT_EQ(r.MountPoint, "/mnt2");
  EXPECT_EQ(r.Options, "rw,noatime");
  EXPECT_EQ(r.FsType, "ext3");
  EXPECT_EQ(r.Source, "/dev/root");

  ASSERT_TRUE(ParseMountInfoLine(
      "512 28 7:3 / /tmp/my\\040stick\\134x ro,relatime - ext4 /dev/loop3 ro", &r));
  EXPECT_EQ(r.MountPoint, "/tmp/my stick\\x");
  EXPECT_EQ(r.Options, "ro,relatime");
  EXPECT_EQ(r.Source, "/dev/loop3");

  ASSERT_TRUE(ParseMountInfoLine(
      "90 28 0:55 /export /net/a rw - nfs4 server:/export\\040dir rw,vers=4.2", &r));
  EXPECT_EQ(r.Source, "server:/export dir");
  EXPECT_EQ(r.FsType, "nfs4");

  const std::vector<std::string> bad = {
      "",
      "garbage",
      "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 ext3 /dev/root rw",  // no separator
      "x 35 98:0 / /mnt rw - ext4 /dev/sda1 rw",
      "36 35 98 / /mnt rw - ext4 /dev/sda1 rw",
      "36 35 98:0 / /mnt rw - ext4",
  };
  for (const std::string& line : bad) EXPECT_FALSE(ParseMountInfoLine(line, &r)) << line;
}

TEST(MountInfoTest, ClassifiesFileSystems) {
  struct Case {
    const char* type;
    FsKind kind;
  };
  const std::vector<Case> cases = {
      {"ext4", FsKind::kBlock},      {"vfat", FsKind::kBlock},       {"fuseblk", FsKind::kBlock},
      {"nfs", FsKind::kRemote},      {"nfs4", FsKind::kRemote},      {"cifs", FsKind::kRemote},
      {"smb3", FsKind::kRemote},     {"fuse.sshfs", FsKind::kRemote}, {"9p", FsKind::kRemote},
      {"ceph", FsKind::kRemote},     {"tmpfs", FsKind::kRamDisk},    {"ramfs", FsKind::kRamDisk},
      {"iso9660", FsKind::kCdRom},   {"udf", FsKind::kCdRom},        {"squashfs", FsKind::kCdRom},
      {"zfs", FsKind::kLocal},       {"fuse.encfs", FsKind::kLocal},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyFileSystem(c.type), c.kind) << c.type;
  for (const char* pseudo :
       {"proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "mqueue", "debugfs",
        "tracefs", "securityfs", "pstore", "bpf", "autofs", "binfmt_misc", "hugetlbfs",
        "configfs", "fusectl", "overlay", "nsfs", "efivarfs", "rpc_pipefs", "selinuxfs",
        "fuse.lxcfs"})
    EXPECT_EQ(ClassifyFileSystem(pseudo), FsKind::kPseudo) << pseudo;
}

std::vector<std::string> MountPoints(const std::vector<VolumeMount>& volumes) {
  std::vector<std::string> points;
  for (const VolumeMount& v : volumes) points.push_back(v.Record.MountPoint);
  return points;
}

TEST(MountInfoTest, SelectsOneMountPerVolume) {
  const std::string text =
      "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
      "23 28 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
      "24 28 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=100k\n"
      "26 24 0:24 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
      "27 24 0:25 / /dev/pts rw,relatime - devpts devpts rw\n"
      "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "31 26 0:28 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"  // hides 26
      "32 23 0:29 / /sys/fs/cgroup rw - tmpfs tmpfs rw,mode=755\n"
      "42 32 0:39 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n"
      "50 28 7:1 / /tmp/a\\040very\\040long\\040place rw - ext4 /dev/loop1 rw\n"
      "51 28 7:1 / /m1 rw - ext4 /dev/loop1 rw\n"               // bind: shorter, wins
      "52 28 7:1 /sub /s rw - ext4 /dev/loop1 rw\n"             // a folder of the same volume
      "53 28 7:2 / /media/cd ro - iso9660 /dev/sr0 ro\n"
      "60 28 0:60 /export/a /net/a rw - nfs4 srv:/export/a rw\n" // no mount of its root:
      "61 28 0:60 /export/b /net/b rw - nfs4 srv:/export/b rw\n" // one volume per folder
      "62 28 0:60 /export/a /net/a2 rw - nfs4 srv:/export/a rw\n"
      "70 28 0:70 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
      "71 28 254:0 /etc/hostname /etc/hostname rw - ext4 /dev/vda rw\n"  // same fs as "/"
      "80 28 0:80 /host/file /etc/resolv.conf rw - ext4 /dev/vdb rw\n";
  const auto usable = [](const MountRecord& r) { return r.MountPoint != "/etc/resolv.conf"; };
  const std::vector<VolumeMount> volumes = SelectVolumeMounts(ParseMountInfo(text), usable);
  EXPECT_EQ(MountPoints(volumes),
            (std::vector<std::string>{"/", "/dev/shm", "/m1", "/media/cd", "/net/a", "/net/b"}));
  ASSERT_EQ(volumes.size(), 6u);
  EXPECT_EQ(volumes[1].Record.Major, 0u);
  EXPECT_EQ(volumes[1].Record.Minor, 28u);  // the visible /dev/shm
  EXPECT_EQ(volumes[2].Identity, "7:1:/");
  EXPECT_EQ(volumes[4].Identity, "0:60:/export/a");
  EXPECT_EQ(volumes[5].Identity, "0:60:/export/b");
}

TEST(MountInfoTest, RootIsAlwaysAVolume) {
  const std::string text =
      "100 90 0:50 / / rw,relatime - overlay overlay rw,lowerdir=/a\n"
      "101 100 0:51 / /proc rw - proc proc rw\n"
      "102 100 8:1 /home/me/work /work rw - ext4 /dev/sda1 rw\n";
  const std::vector<VolumeMount> volumes = SelectVolumeMounts(ParseMountInfo(text));
  EXPECT_EQ(MountPoints(volumes), (std::vector<std::string>{"/", "/work"}));
}

TEST(VolumeProbeTest, SerialFromUuid) {
  struct Case {
    const char* uuid;
    std::uint32_t serial;
  };
  const std::vector<Case> cases = {
      {"ABCD-1234", 0xABCD1234},                              // vfat, exfat
      {"abcd-1234", 0xABCD1234},
      {"0123456789ABCDEF", 0x89ABCDEF},                       // ntfs: the last 8 digits
      {"0449b030-2ad9-4a57-8f8e-0123456789ab", 0x0449B030},   // ext4 and friends
      {"d3b07384d113edec49eaa6238ad5ff00", 0xD3B07384},
      {"", 0},
      {"12-34", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(SerialFromUuid(c.uuid), c.serial) << c.uuid;
}

TEST(VolumeProbeTest, SerialFromFsidIsNeverZero) {
  EXPECT_NE(SerialFromFsid(0, 0, 0, 0), 0u);
  EXPECT_NE(SerialFromFsid(0, 0, 0, 28), 0u);
  EXPECT_NE(SerialFromFsid(0x12345678, 0, 0, 0), 0u);
  EXPECT_NE(SerialFromFsid(0x12345678, 0x56781234, 0, 0), 0u);
  EXPECT_NE(SerialFromFsid(1, 2, 0, 5), SerialFromFsid(1, 3, 0, 5));
}

}  // namespace
}  // namespace platform

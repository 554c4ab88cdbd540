#include "platform/drives.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "tests/support/loop_volume.h"

namespace platform {
namespace {

using testing_support::LoopVolume;
using testing_support::RunCommand;

// ---- The fake table ----

FakeDrive MakeFake(char16_t letter, const std::string& directory) {
  FakeDrive drive;
  drive.Letter = letter;
  drive.Directory = directory;
  drive.Label = u"FAKE";
  drive.Serial = 0x12345678;
  drive.Type = DRIVE_REMOVABLE;
  drive.SectorSize = 4096;
  return drive;
}

TEST(FakeDrivesTest, MaskFollowsPutAndRemove) {
  auto drives = MakeFakeDrives();
  EXPECT_EQ(drives->GetLogicalDrives(), 0u);
  drives->Put(MakeFake(u'C', "/"));
  drives->Put(MakeFake(u'E', "/tmp"));
  EXPECT_EQ(drives->GetLogicalDrives(), (1u << 2) | (1u << 4));
  drives->Remove(u'C');
  EXPECT_EQ(drives->GetLogicalDrives(), 1u << 4);
  drives->Put(MakeFake(u'Z', "/tmp"));
  EXPECT_EQ(drives->GetLogicalDrives(), (1u << 4) | (1u << 25));
}

TEST(FakeDrivesTest, ReportsTheIdentityGiven) {
  auto drives = MakeFakeDrives();
  FakeDrive e = MakeFake(u'E', "/tmp");
  e.Type = DRIVE_FIXED;
  drives->Put(e);
  EXPECT_EQ(drives->GetDriveType(u'E'), DRIVE_FIXED);
  EXPECT_EQ(drives->GetDriveType(u'e'), DRIVE_FIXED);
  EXPECT_EQ(drives->GetDriveType(u'Q'), DRIVE_NO_ROOT_DIR);
  std::u16string name;
  std::uint32_t serial = 0, sector = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(u'E', &name, &serial));
  EXPECT_EQ(name, u"FAKE");
  EXPECT_EQ(serial, 0x12345678u);
  ASSERT_TRUE(drives->GetDiskFreeSpace(u'E', &sector));
  EXPECT_EQ(sector, 4096u);
  std::string directory;
  ASSERT_TRUE(drives->MountPoint(u'E', &directory));
  EXPECT_EQ(directory, "/tmp");
  EXPECT_FALSE(drives->MountPoint(u'Q', &directory));
  SetLastError(0);
  EXPECT_FALSE(drives->GetVolumeInformation(u'Q', &name, &serial));
  EXPECT_NE(GetLastError(), 0u);
}

TEST(FakeDrivesTest, UnreadableVolumeFailsVolumeInformation) {
  auto drives = MakeFakeDrives();
  FakeDrive e = MakeFake(u'E', "/tmp");
  e.Readable = false;
  drives->Put(e);
  std::u16string name;
  std::uint32_t serial = 0;
  SetLastError(0);
  EXPECT_FALSE(drives->GetVolumeInformation(u'E', &name, &serial));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_TRUE(drives->GetLogicalDrives() & (1u << 4));  // still listed
}

TEST(FakeDrivesTest, FreeSpaceComesFromTheDirectory) {
  auto drives = MakeFakeDrives();
  drives->Put(MakeFake(u'E', "/tmp"));
  std::int64_t free_bytes = -1, total = -1;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx(u'E', &free_bytes, &total));
  struct statvfs info;
  ASSERT_EQ(statvfs("/tmp", &info), 0);
  EXPECT_EQ(total, static_cast<std::int64_t>(info.f_blocks) * info.f_frsize);
  EXPECT_GT(free_bytes, 0);
  EXPECT_LE(free_bytes, total);
  drives->Put(MakeFake(u'F', "/no/such/directory"));
  SetLastError(0);
  EXPECT_FALSE(drives->GetDiskFreeSpaceEx(u'F', &free_bytes, &total));
  EXPECT_NE(GetLastError(), 0u);
}

TEST(FakeDrivesTest, DriveOfTakesLongestDirectoryOnWholeComponents) {
  auto drives = MakeFakeDrives();
  drives->Put(MakeFake(u'C', "/"));
  drives->Put(MakeFake(u'E', "/media/a"));
  drives->Put(MakeFake(u'F', "/media/a/b"));
  struct Case {
    std::string path;
    char16_t letter;
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"/", u'C', ""},          {"/etc/x", u'C', "etc/x"},   {"/media/a", u'E', ""},
      {"/media/a/", u'E', ""},  {"/media/a/x/y", u'E', "x/y"}, {"/media/ab", u'C', "media/ab"},
      {"/media/a/b", u'F', ""}, {"/media/a/b/c", u'F', "c"}, {"/media/a/bc", u'E', "bc"},
  };
  for (const Case& c : cases) {
    char16_t letter = 0;
    std::string rest = "?";
    ASSERT_TRUE(drives->DriveOf(c.path, &letter, &rest)) << c.path;
    EXPECT_EQ(letter, c.letter) << c.path;
    EXPECT_EQ(rest, c.rest) << c.path;
  }
  drives->Remove(u'C');
  char16_t letter;
  std::string rest;
  EXPECT_FALSE(drives->DriveOf("/etc", &letter, &rest));
}

TEST(FakeDrivesTest, ConcurrentReadersSeeWholeDrives) {
  auto drives = MakeFakeDrives();
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        std::u16string name;
        std::uint32_t serial = 0;
        if (drives->GetVolumeInformation(u'E', &name, &serial)) {
          // Label and serial were put together: a reader never mixes two versions.
          EXPECT_EQ(name == u"ONE", serial == 1u);
        }
        char16_t letter;
        std::string rest;
        drives->DriveOf("/tmp/x", &letter, &rest);
        drives->GetDriveType(u'E');
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    FakeDrive e = MakeFake(u'E', "/tmp");
    e.Label = i % 2 ? u"ONE" : u"TWO";
    e.Serial = i % 2 ? 1 : 2;
    drives->Put(e);
    drives->GetLogicalDrives();
    if (i % 7 == 0) drives->Remove(u'E');
  }
  stop = true;
  for (std::thread& t : readers) t.join();
}

TEST(CurrentDrivesTest, SetDrivesInstallsATable) {
  auto fake = MakeFakeDrives();
  fake->Put(MakeFake(u'K', "/tmp"));
  SetDrives(fake);
  EXPECT_EQ(CurrentDrives(), fake);
  EXPECT_EQ(CurrentDrives()->GetLogicalDrives(), 1u << 10);
  SetDrives(nullptr);
  EXPECT_NE(CurrentDrives(), fake);  // back to the Linux table
  EXPECT_TRUE(CurrentDrives()->GetLogicalDrives() & (1u << 2));
}

// ---- The Linux table on this machine ----

// The letter whose mount point is `directory`, or 0.
char16_t LetterAt(Drives& drives, std::uint32_t mask, const std::string& directory) {
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    std::string mount_point;
    if (drives.MountPoint(u'A' + i, &mount_point) && mount_point == directory) return u'A' + i;
  }
  return 0;
}

std::vector<std::string> ListedMountPoints(Drives& drives, std::uint32_t mask) {
  std::vector<std::string> points;
  for (int i = 0; i < 26; ++i) {
    std::string mount_point;
    if ((mask & (1u << i)) && drives.MountPoint(u'A' + i, &mount_point))
      points.push_back(mount_point);
  }
  return points;
}

TEST(LinuxDrivesTest, RootIsDriveC) {
  auto drives = MakeLinuxDrives();
  const std::uint32_t mask = drives->GetLogicalDrives();
  ASSERT_TRUE(mask & (1u << 2));
  EXPECT_EQ(mask & 3u, 0u);  // A and B are never used
  std::string mount_point;
  ASSERT_TRUE(drives->MountPoint(u'C', &mount_point));
  EXPECT_EQ(mount_point, "/");
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(u'C', &name, &serial));
  EXPECT_NE(serial, 0u);
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace(u'C', &sector));
  EXPECT_GE(sector, 512u);
  EXPECT_EQ(sector & (sector - 1), 0u);
  std::int64_t free_bytes = -1, total = -1;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx(u'C', &free_bytes, &total));
  EXPECT_GT(total, 0);
  EXPECT_GE(free_bytes, 0);
  EXPECT_NE(drives->GetDriveType(u'C'), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(drives->GetDriveType(u'A'), DRIVE_NO_ROOT_DIR);
  char16_t letter = 0;
  std::string rest;
  ASSERT_TRUE(drives->DriveOf("/proc/self/status", &letter, &rest));  // /proc is no drive
  EXPECT_EQ(letter, u'C');
  EXPECT_EQ(rest, "proc/self/status");
}

TEST(LinuxDrivesTest, PseudoFileSystemsAreNotListed) {
  auto drives = MakeLinuxDrives();
  const std::uint32_t mask = drives->GetLogicalDrives();
  for (const std::string& point : ListedMountPoints(*drives, mask)) {
    EXPECT_NE(point, "/proc");
    EXPECT_NE(point, "/sys");
    EXPECT_NE(point, "/dev");
    EXPECT_NE(point, "/dev/pts");
    EXPECT_NE(point, "/dev/mqueue");
    EXPECT_NE(point.rfind("/sys/", 0), 0u) << point;
    EXPECT_NE(point.rfind("/proc/", 0), 0u) << point;
  }
}

TEST(LinuxDrivesTest, DevShmIsARamDisk) {
  std::ifstream mounts("/proc/self/mountinfo");
  std::string line;
  bool shm_is_tmpfs = false;
  while (std::getline(mounts, line))
    if (line.find(" /dev/shm ") != std::string::npos && line.find(" - tmpfs ") != std::string::npos)
      shm_is_tmpfs = true;
  if (!shm_is_tmpfs) GTEST_SKIP() << "/dev/shm is not a tmpfs here";
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), "/dev/shm");
  ASSERT_NE(letter, 0);
  EXPECT_EQ(drives->GetDriveType(letter), DRIVE_RAMDISK);
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(letter, &name, &serial));
  EXPECT_EQ(name, u"");
  EXPECT_NE(serial, 0u);
}

// A folder of our own, removed at the end of the test.
class TempDir {
 public:
  explicit TempDir(const std::string& name_part) {
    std::string pattern = "/tmp/orsanta-drives-" + name_part + "-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A mount made by the test, undone however the test ends.
class ExtraMount {
 public:
  explicit ExtraMount(const std::string& command, const std::string& place)
      : place_(place), mounted_(RunCommand(command)) {}
  ~ExtraMount() {
    if (mounted_) RunCommand("umount '" + place_ + "'");
  }
  bool ok() const { return mounted_; }
  bool Unmount() {
    mounted_ = mounted_ && !RunCommand("umount '" + place_ + "'");
    return !mounted_;
  }

 private:
  std::string place_;
  bool mounted_;
};

LoopVolume::Options Labeled(const std::string& label, const std::string& uuid = "") {
  LoopVolume::Options options;
  options.label = label;
  options.uuid = uuid;
  return options;
}

LoopVolume::Options WithSectors(unsigned sector_size) {
  LoopVolume::Options options;
  options.sector_size = sector_size;
  return options;
}

class LoopDrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LoopVolume::Available()) GTEST_SKIP() << "loop volumes need root and losetup";
  }
};

TEST_F(LoopDrivesTest, LabelSerialTypeAndSectorSize) {
  LoopVolume volume(Labeled("ORSANTA", "0449b030-2ad9-4a57-8f8e-0123456789ab"));
  ASSERT_TRUE(volume.ok()) << volume.error();
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), volume.mount_point());
  ASSERT_NE(letter, 0);
  EXPECT_GE(letter, u'D');
  std::u16string name;
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(letter, &name, &serial));
  EXPECT_EQ(name, u"ORSANTA");
  EXPECT_EQ(serial, 0x0449B030u);
  EXPECT_EQ(drives->GetDriveType(letter), DRIVE_FIXED);
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace(letter, &sector));
  EXPECT_EQ(sector, 512u);
  std::int64_t free_bytes = 0, total = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx(letter, &free_bytes, &total));
  EXPECT_GT(total, 32 << 20);
  EXPECT_LE(total, 64 << 20);
  EXPECT_GT(free_bytes, 0);
  char16_t holder = 0;
  std::string rest;
  ASSERT_TRUE(drives->DriveOf(volume.mount_point() + "/dir/file", &holder, &rest));
  EXPECT_EQ(holder, letter);
  EXPECT_EQ(rest, "dir/file");
}

TEST_F(LoopDrivesTest, UnlabeledVolumeAndBigSectors) {
  LoopVolume volume(WithSectors(4096));
  ASSERT_TRUE(volume.ok()) << volume.error();
  std::string uuid;
  ASSERT_TRUE(RunCommand("blkid -p -o value -s UUID " + volume.device(), &uuid));
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), volume.mount_point());
  ASSERT_NE(letter, 0);
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(letter, &name, &serial));
  EXPECT_EQ(name, u"");
  EXPECT_EQ(serial, std::strtoul(uuid.substr(0, 8).c_str(), nullptr, 16)) << uuid;
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace(letter, &sector));
  EXPECT_EQ(sector, 4096u);
}

TEST_F(LoopDrivesTest, LabelBytesDecodeLikeNames) {
  LoopVolume volume(Labeled("caf\xC3\xA9-\xFF"));
  ASSERT_TRUE(volume.ok()) << volume.error();
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), volume.mount_point());
  ASSERT_NE(letter, 0);
  std::u16string name;
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(letter, &name, &serial));
  EXPECT_EQ(name, std::u16string(u"caf\u00E9-") + char16_t(0xDCFF));
}

TEST_F(LoopDrivesTest, LettersStayWhileMountedAndGoWithTheVolume) {
  auto drives = MakeLinuxDrives();
  LoopVolume first({});
  ASSERT_TRUE(first.ok()) << first.error();
  const char16_t first_letter = LetterAt(*drives, drives->GetLogicalDrives(), first.mount_point());
  ASSERT_NE(first_letter, 0);
  std::uint32_t first_serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(first_letter, nullptr, &first_serial));

  LoopVolume second({});
  ASSERT_TRUE(second.ok()) << second.error();
  for (int i = 0; i < 3; ++i) {
    const std::uint32_t mask = drives->GetLogicalDrives();
    EXPECT_EQ(LetterAt(*drives, mask, first.mount_point()), first_letter);
    const char16_t second_letter = LetterAt(*drives, mask, second.mount_point());
    EXPECT_NE(second_letter, 0);
    EXPECT_NE(second_letter, first_letter);
  }

  // Pulled out: gone at the next reading.
  ASSERT_TRUE(first.Unmount()) << first.error();
  std::uint32_t mask = drives->GetLogicalDrives();
  EXPECT_EQ(LetterAt(*drives, mask, first.mount_point()), 0);
  std::string mount_point;
  if (mask & (1u << (first_letter - u'A'))) {
    ASSERT_TRUE(drives->MountPoint(first_letter, &mount_point));
    EXPECT_NE(mount_point, first.mount_point());  // taken by some other volume meanwhile
  } else {
    EXPECT_FALSE(drives->MountPoint(first_letter, &mount_point));
    EXPECT_EQ(drives->GetDriveType(first_letter), DRIVE_NO_ROOT_DIR);
  }

  // Plugged in again elsewhere: a letter and the same serial.
  ASSERT_TRUE(first.Remount()) << first.error();
  mask = drives->GetLogicalDrives();
  const char16_t again = LetterAt(*drives, mask, first.mount_point());
  ASSERT_NE(again, 0);
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(again, nullptr, &serial));
  EXPECT_EQ(serial, first_serial);
  EXPECT_NE(again, LetterAt(*drives, mask, second.mount_point()));
}

TEST_F(LoopDrivesTest, BindMountsOfOneFileSystemAreOneDrive) {
  LoopVolume volume({});
  ASSERT_TRUE(volume.ok()) << volume.error();
  ASSERT_TRUE(RunCommand("mkdir -p " + volume.mount_point() + "/sub"));
  TempDir place("bind-mount-with-a-longer-path");
  TempDir sub_place("bind-sub");
  ASSERT_FALSE(place.path().empty());
  ExtraMount bind("mount --bind '" + volume.mount_point() + "' '" + place.path() + "'",
                  place.path());
  ASSERT_TRUE(bind.ok());
  ExtraMount sub_bind(
      "mount --bind '" + volume.mount_point() + "/sub' '" + sub_place.path() + "'",
      sub_place.path());
  ASSERT_TRUE(sub_bind.ok());
  auto drives = MakeLinuxDrives();
  const std::uint32_t mask = drives->GetLogicalDrives();
  EXPECT_NE(LetterAt(*drives, mask, volume.mount_point()), 0);  // the shortest path
  EXPECT_EQ(LetterAt(*drives, mask, place.path()), 0);
  EXPECT_EQ(LetterAt(*drives, mask, sub_place.path()), 0);
}

TEST_F(LoopDrivesTest, ReadOnlyMountsAreListed) {
  LoopVolume volume({});
  ASSERT_TRUE(volume.ok()) << volume.error();
  ASSERT_TRUE(RunCommand("mount -o remount,ro " + volume.mount_point()));
  auto drives = MakeLinuxDrives();
  EXPECT_NE(LetterAt(*drives, drives->GetLogicalDrives(), volume.mount_point()), 0);
  RunCommand("mount -o remount,rw " + volume.mount_point());
}

TEST_F(LoopDrivesTest, MountPointWithSpacesAndBackslash) {
  TempDir parent("escapes");
  ASSERT_FALSE(parent.path().empty());
  const std::string place = parent.path() + "/my stick\\x\ty";
  ASSERT_TRUE(std::filesystem::create_directory(place));
  ExtraMount ram("mount -t tmpfs -o size=1m orsanta-test '" + place + "'", place);
  ASSERT_TRUE(ram.ok());
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), place);
  ASSERT_NE(letter, 0);
  EXPECT_EQ(drives->GetDriveType(letter), DRIVE_RAMDISK);
  ASSERT_TRUE(ram.Unmount());
  EXPECT_EQ(LetterAt(*drives, drives->GetLogicalDrives(), place), 0);
}

TEST_F(LoopDrivesTest, ReadersRunWhileTheTableIsReread) {
  LoopVolume volume({});
  ASSERT_TRUE(volume.ok()) << volume.error();
  auto drives = MakeLinuxDrives();
  const char16_t letter = LetterAt(*drives, drives->GetLogicalDrives(), volume.mount_point());
  ASSERT_NE(letter, 0);
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      std::string mount_point;
      if (drives->MountPoint(letter, &mount_point)) {
        EXPECT_FALSE(mount_point.empty());
      }
      std::uint32_t sector = 0;
      drives->GetDiskFreeSpace(letter, &sector);
      char16_t holder;
      std::string rest;
      drives->DriveOf(volume.mount_point() + "/x", &holder, &rest);
    }
  });
  for (int i = 0; i < 50; ++i) drives->GetLogicalDrives();
  stop = true;
  reader.join();
}

}  // namespace
}  // namespace platform

#include "platform/drives.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/drive_names.h"
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

// The names of a listing, in its order.
std::vector<std::u16string> Names(const std::vector<DriveEntry>& list) {
  std::vector<std::u16string> names;
  for (const DriveEntry& drive : list) names.push_back(drive.Name);
  return names;
}

TEST(FakeDrivesTest, ListFollowsPutAndRemove) {
  auto drives = MakeFakeDrives();
  EXPECT_TRUE(drives->ListDrives().empty());
  drives->Put(MakeFake(u'E', "/tmp"));
  drives->Put(MakeFake(u'C', "/"));
  EXPECT_EQ(Names(drives->ListDrives()), (std::vector<std::u16string>{u"C", u"E"}));
  drives->Remove(u"C");
  EXPECT_EQ(Names(drives->ListDrives()), std::vector<std::u16string>{u"E"});
  drives->Put(MakeFake(u'Z', "/tmp/"));
  const std::vector<DriveEntry> list = drives->ListDrives();
  ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"E", u"Z"}));
  EXPECT_EQ(list[1].MountPoint, "/tmp");  // listed without the trailing slash
}

TEST(DriveNamesTest, SequenceGoesOnAfterZWithoutGaps) {
  const struct {
    std::size_t index;
    std::u16string name;
  } cases[] = {{0, u"A"},   {2, u"C"},    {25, u"Z"},   {26, u"AA"},  {27, u"AB"},
               {51, u"AZ"}, {52, u"BA"},  {701, u"ZZ"}, {702, u"AAA"}};
  for (const auto& c : cases) EXPECT_EQ(DriveNameAt(c.index), c.name) << c.index;
}

// More drives than C to Z can name: unnamed drives are named like the Linux table names
// volumes, and a drive keeps its name while the others come and go.
TEST(FakeDrivesTest, UnnamedDrivesGoOnFromZToAAAndKeepTheirNames) {
  auto drives = MakeFakeDrives();
  std::vector<std::string> directories = {"/"};
  for (int i = 0; i < 30; ++i) directories.push_back("/media/hub/" + std::to_string(i));
  std::map<std::string, std::u16string> given;
  for (const std::string& directory : directories)
    given[directory] = drives->Put({u"", directory, u"STICK", 1, DRIVE_REMOVABLE, 512, true});

  std::vector<std::u16string> expected = {u"C"};
  for (char16_t letter = u'D'; letter <= u'Z'; ++letter) expected.push_back({letter});
  for (char16_t letter = u'A'; letter <= u'G'; ++letter) expected.push_back({u'A', letter});
  std::vector<DriveEntry> list = drives->ListDrives();
  ASSERT_EQ(Names(list), expected);
  for (std::size_t i = 0; i < directories.size(); ++i) {
    EXPECT_EQ(list[i].MountPoint, directories[i]);
    EXPECT_EQ(given[directories[i]], expected[i]);
    std::string mount_point;
    ASSERT_TRUE(drives->MountPoint(expected[i], &mount_point));
    EXPECT_EQ(mount_point, directories[i]);
  }

  // F and AB pulled out; a new stick takes the first free name, the AB stick its own back, and
  // the F stick, whose name is taken now, the first free one after AG.
  drives->Remove(u"F");
  drives->Remove(u"ab");
  EXPECT_EQ(drives->Put({u"", "/media/hub/new", u"", 2, DRIVE_REMOVABLE, 512, true}), u"F");
  EXPECT_EQ(drives->Put({u"", "/media/hub/24", u"", 3, DRIVE_REMOVABLE, 512, true}), u"AB");
  EXPECT_EQ(drives->Put({u"", "/media/hub/2", u"", 4, DRIVE_REMOVABLE, 512, true}), u"AH");
  // Put again where it is: replaced, same name.
  EXPECT_EQ(drives->Put({u"", "/media/hub/29", u"AGAIN", 5, DRIVE_REMOVABLE, 512, true}), u"AG");
  list = drives->ListDrives();
  ASSERT_EQ(list.size(), directories.size() + 1);
  EXPECT_EQ(list.back().Name, u"AH");
  for (const DriveEntry& drive : list) {
    if (drive.MountPoint == "/media/hub/new" || drive.MountPoint == "/media/hub/2") continue;
    EXPECT_EQ(drive.Name, given[drive.MountPoint]) << drive.MountPoint;
  }
  std::u16string label;
  ASSERT_TRUE(drives->GetVolumeInformation("/media/hub/29", &label, nullptr));
  EXPECT_EQ(label, u"AGAIN");
}

TEST(FakeDrivesTest, ReportsTheIdentityGiven) {
  auto drives = MakeFakeDrives();
  FakeDrive e = MakeFake(u'E', "/tmp");
  e.Type = DRIVE_FIXED;
  drives->Put(e);
  EXPECT_EQ(drives->GetDriveType("/tmp"), DRIVE_FIXED);
  EXPECT_EQ(drives->GetDriveType("/tmp/"), DRIVE_FIXED);
  EXPECT_EQ(drives->GetDriveType("/nowhere"), DRIVE_NO_ROOT_DIR);
  std::u16string name;
  std::uint32_t serial = 0, sector = 0;
  ASSERT_TRUE(drives->GetVolumeInformation("/tmp", &name, &serial));
  EXPECT_EQ(name, u"FAKE");
  EXPECT_EQ(serial, 0x12345678u);
  ASSERT_TRUE(drives->GetDiskFreeSpace("/tmp", &sector));
  EXPECT_EQ(sector, 4096u);
  std::string directory;
  ASSERT_TRUE(drives->MountPoint(u"E", &directory));
  EXPECT_EQ(directory, "/tmp");
  ASSERT_TRUE(drives->MountPoint(u"e", &directory));
  EXPECT_FALSE(drives->MountPoint(u"Q", &directory));
  SetLastError(0);
  EXPECT_FALSE(drives->GetVolumeInformation("/nowhere", &name, &serial));
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
  EXPECT_FALSE(drives->GetVolumeInformation("/tmp", &name, &serial));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(Names(drives->ListDrives()), std::vector<std::u16string>{u"E"});  // still listed
}

TEST(FakeDrivesTest, FreeSpaceComesFromTheDirectory) {
  auto drives = MakeFakeDrives();
  drives->Put(MakeFake(u'E', "/tmp"));
  std::int64_t free_bytes = -1, total = -1;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx("/tmp", &free_bytes, &total));
  struct statvfs info;
  ASSERT_EQ(statvfs("/tmp", &info), 0);
  EXPECT_EQ(total, static_cast<std::int64_t>(info.f_blocks) * info.f_frsize);
  EXPECT_GT(free_bytes, 0);
  EXPECT_LE(free_bytes, total);
  drives->Put(MakeFake(u'F', "/no/such/directory"));
  SetLastError(0);
  EXPECT_FALSE(drives->GetDiskFreeSpaceEx("/no/such/directory", &free_bytes, &total));
  EXPECT_NE(GetLastError(), 0u);
}

TEST(FakeDrivesTest, DriveOfTakesLongestDirectoryOnWholeComponents) {
  auto drives = MakeFakeDrives();
  drives->Put(MakeFake(u'C', "/"));
  drives->Put(MakeFake(u'E', "/media/a"));
  drives->Put(MakeFake(u'F', "/media/a/b"));
  struct Case {
    std::string path;
    std::u16string name;
    std::string mount_point;
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"/", u"C", "/", ""},
      {"/etc/x", u"C", "/", "etc/x"},
      {"/media/a", u"E", "/media/a", ""},
      {"/media/a/", u"E", "/media/a", ""},
      {"/media/a/x/y", u"E", "/media/a", "x/y"},
      {"/media/ab", u"C", "/", "media/ab"},
      {"/media/a/b", u"F", "/media/a/b", ""},
      {"/media/a/b/c", u"F", "/media/a/b", "c"},
      {"/media/a/bc", u"E", "/media/a", "bc"},
  };
  for (const Case& c : cases) {
    DriveEntry drive;
    std::string rest = "?";
    ASSERT_TRUE(drives->DriveOf(c.path, &drive, &rest)) << c.path;
    EXPECT_EQ(drive.Name, c.name) << c.path;
    EXPECT_EQ(drive.MountPoint, c.mount_point) << c.path;
    EXPECT_EQ(rest, c.rest) << c.path;
  }
  drives->Remove(u"C");
  DriveEntry drive;
  std::string rest;
  EXPECT_FALSE(drives->DriveOf("/etc", &drive, &rest));
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
        if (drives->GetVolumeInformation("/tmp", &name, &serial)) {
          // Label and serial were put together: a reader never mixes two versions.
          EXPECT_EQ(name == u"ONE", serial == 1u);
        }
        DriveEntry drive;
        std::string rest;
        drives->DriveOf("/tmp/x", &drive, &rest);
        drives->GetDriveType("/tmp");
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    FakeDrive e = MakeFake(u'E', "/tmp");
    e.Label = i % 2 ? u"ONE" : u"TWO";
    e.Serial = i % 2 ? 1 : 2;
    drives->Put(e);
    drives->ListDrives();
    if (i % 7 == 0) drives->Remove(u"E");
  }
  stop = true;
  for (std::thread& t : readers) t.join();
}

TEST(CurrentDrivesTest, SetDrivesInstallsATable) {
  auto fake = MakeFakeDrives();
  fake->Put(MakeFake(u'K', "/tmp"));
  SetDrives(fake);
  EXPECT_EQ(CurrentDrives(), fake);
  EXPECT_EQ(Names(CurrentDrives()->ListDrives()), std::vector<std::u16string>{u"K"});
  SetDrives(nullptr);
  EXPECT_NE(CurrentDrives(), fake);  // back to the Linux table
  EXPECT_EQ(Names(CurrentDrives()->ListDrives()).front(), u"C");
}

// ---- The Linux table on this machine ----

// The name of the drive mounted at `directory` in a listing, or "" when none is.
std::u16string NameAt(const std::vector<DriveEntry>& list, const std::string& directory) {
  for (const DriveEntry& drive : list)
    if (drive.MountPoint == directory) return drive.Name;
  return u"";
}

TEST(LinuxDrivesTest, RootIsDriveC) {
  auto drives = MakeLinuxDrives();
  const std::vector<DriveEntry> list = drives->ListDrives();
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.front().Name, u"C");  // first in name order: A and B are never used
  EXPECT_EQ(list.front().MountPoint, "/");
  for (std::size_t i = 1; i < list.size(); ++i)
    EXPECT_TRUE(DriveNameBefore(list[i - 1].Name, list[i].Name)) << list[i].MountPoint;
  std::string mount_point;
  ASSERT_TRUE(drives->MountPoint(u"C", &mount_point));
  EXPECT_EQ(mount_point, "/");
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation("/", &name, &serial));
  EXPECT_NE(serial, 0u);
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace("/", &sector));
  EXPECT_GE(sector, 512u);
  EXPECT_EQ(sector & (sector - 1), 0u);
  std::int64_t free_bytes = -1, total = -1;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx("/", &free_bytes, &total));
  EXPECT_GT(total, 0);
  EXPECT_GE(free_bytes, 0);
  EXPECT_NE(drives->GetDriveType("/"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(drives->GetDriveType("/proc"), DRIVE_NO_ROOT_DIR);
  EXPECT_FALSE(drives->MountPoint(u"A", &mount_point));
  DriveEntry drive;
  std::string rest;
  ASSERT_TRUE(drives->DriveOf("/proc/self/status", &drive, &rest));  // /proc is no drive
  EXPECT_EQ(drive.Name, u"C");
  EXPECT_EQ(rest, "proc/self/status");
}

TEST(LinuxDrivesTest, PseudoFileSystemsAreNotListed) {
  auto drives = MakeLinuxDrives();
  for (const DriveEntry& drive : drives->ListDrives()) {
    const std::string& point = drive.MountPoint;
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
  ASSERT_NE(NameAt(drives->ListDrives(), "/dev/shm"), u"");
  EXPECT_EQ(drives->GetDriveType("/dev/shm"), DRIVE_RAMDISK);
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation("/dev/shm", &name, &serial));
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
  const std::string& place = volume.mount_point();
  const std::u16string letter = NameAt(drives->ListDrives(), place);
  ASSERT_NE(letter, u"");
  EXPECT_NE(letter, u"C");
  std::u16string name;
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(place, &name, &serial));
  EXPECT_EQ(name, u"ORSANTA");
  EXPECT_EQ(serial, 0x0449B030u);
  EXPECT_EQ(drives->GetDriveType(place), DRIVE_FIXED);
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace(place, &sector));
  EXPECT_EQ(sector, 512u);
  std::int64_t free_bytes = 0, total = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpaceEx(place, &free_bytes, &total));
  EXPECT_GT(total, 32 << 20);
  EXPECT_LE(total, 64 << 20);
  EXPECT_GT(free_bytes, 0);
  DriveEntry holder;
  std::string rest;
  ASSERT_TRUE(drives->DriveOf(volume.mount_point() + "/dir/file", &holder, &rest));
  EXPECT_EQ(holder.Name, letter);
  EXPECT_EQ(holder.MountPoint, place);
  EXPECT_EQ(rest, "dir/file");
}

TEST_F(LoopDrivesTest, UnlabeledVolumeAndBigSectors) {
  LoopVolume volume(WithSectors(4096));
  ASSERT_TRUE(volume.ok()) << volume.error();
  std::string uuid;
  ASSERT_TRUE(RunCommand("blkid -p -o value -s UUID " + volume.device(), &uuid));
  auto drives = MakeLinuxDrives();
  ASSERT_NE(NameAt(drives->ListDrives(), volume.mount_point()), u"");
  std::u16string name = u"?";
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(volume.mount_point(), &name, &serial));
  EXPECT_EQ(name, u"");
  EXPECT_EQ(serial, std::strtoul(uuid.substr(0, 8).c_str(), nullptr, 16)) << uuid;
  std::uint32_t sector = 0;
  ASSERT_TRUE(drives->GetDiskFreeSpace(volume.mount_point(), &sector));
  EXPECT_EQ(sector, 4096u);
}

TEST_F(LoopDrivesTest, LabelBytesDecodeLikeNames) {
  LoopVolume volume(Labeled("caf\xC3\xA9-\xFF"));
  ASSERT_TRUE(volume.ok()) << volume.error();
  auto drives = MakeLinuxDrives();
  ASSERT_NE(NameAt(drives->ListDrives(), volume.mount_point()), u"");
  std::u16string name;
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(volume.mount_point(), &name, &serial));
  EXPECT_EQ(name, std::u16string(u"caf\u00E9-") + char16_t(0xDCFF));
}

TEST_F(LoopDrivesTest, LettersStayWhileMountedAndGoWithTheVolume) {
  auto drives = MakeLinuxDrives();
  LoopVolume first({});
  ASSERT_TRUE(first.ok()) << first.error();
  const std::u16string first_letter = NameAt(drives->ListDrives(), first.mount_point());
  ASSERT_NE(first_letter, u"");
  std::uint32_t first_serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(first.mount_point(), nullptr, &first_serial));

  LoopVolume second({});
  ASSERT_TRUE(second.ok()) << second.error();
  for (int i = 0; i < 3; ++i) {
    const std::vector<DriveEntry> list = drives->ListDrives();
    EXPECT_EQ(NameAt(list, first.mount_point()), first_letter);
    const std::u16string second_letter = NameAt(list, second.mount_point());
    EXPECT_NE(second_letter, u"");
    EXPECT_NE(second_letter, first_letter);
  }

  // Pulled out: gone at the next reading.
  const std::string first_place = first.mount_point();
  ASSERT_TRUE(first.Unmount()) << first.error();
  std::vector<DriveEntry> list = drives->ListDrives();
  EXPECT_EQ(NameAt(list, first_place), u"");
  EXPECT_EQ(drives->GetDriveType(first_place), DRIVE_NO_ROOT_DIR);
  std::string mount_point;
  if (drives->MountPoint(first_letter, &mount_point)) {
    EXPECT_NE(mount_point, first_place);  // taken by some other volume meanwhile
  }

  // Plugged in again elsewhere: a letter and the same serial.
  ASSERT_TRUE(first.Remount()) << first.error();
  list = drives->ListDrives();
  const std::u16string again = NameAt(list, first.mount_point());
  ASSERT_NE(again, u"");
  std::uint32_t serial = 0;
  ASSERT_TRUE(drives->GetVolumeInformation(first.mount_point(), nullptr, &serial));
  EXPECT_EQ(serial, first_serial);
  EXPECT_NE(again, NameAt(list, second.mount_point()));
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
  const std::vector<DriveEntry> list = drives->ListDrives();
  EXPECT_NE(NameAt(list, volume.mount_point()), u"");  // the shortest path
  EXPECT_EQ(NameAt(list, place.path()), u"");
  EXPECT_EQ(NameAt(list, sub_place.path()), u"");
}

TEST_F(LoopDrivesTest, ReadOnlyMountsAreListed) {
  LoopVolume volume({});
  ASSERT_TRUE(volume.ok()) << volume.error();
  ASSERT_TRUE(RunCommand("mount -o remount,ro " + volume.mount_point()));
  auto drives = MakeLinuxDrives();
  EXPECT_NE(NameAt(drives->ListDrives(), volume.mount_point()), u"");
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
  ASSERT_NE(NameAt(drives->ListDrives(), place), u"");
  EXPECT_EQ(drives->GetDriveType(place), DRIVE_RAMDISK);
  ASSERT_TRUE(ram.Unmount());
  EXPECT_EQ(NameAt(drives->ListDrives(), place), u"");
}

TEST_F(LoopDrivesTest, ReadersRunWhileTheTableIsReread) {
  LoopVolume volume({});
  ASSERT_TRUE(volume.ok()) << volume.error();
  auto drives = MakeLinuxDrives();
  const std::u16string letter = NameAt(drives->ListDrives(), volume.mount_point());
  ASSERT_NE(letter, u"");
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load()) {
      std::string mount_point;
      if (drives->MountPoint(letter, &mount_point)) {
        EXPECT_FALSE(mount_point.empty());
      }
      std::uint32_t sector = 0;
      drives->GetDiskFreeSpace(volume.mount_point(), &sector);
      DriveEntry holder;
      std::string rest;
      drives->DriveOf(volume.mount_point() + "/x", &holder, &rest);
    }
  });
  for (int i = 0; i < 50; ++i) drives->ListDrives();
  stop = true;
  reader.join();
}

}  // namespace
}  // namespace platform

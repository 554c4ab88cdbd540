#include "platform/files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "platform/errors.h"
#include "platform/file_time.h"
#include "platform/memory.h"
#include "tests/support/loop_volume.h"
#include "tests/support/scoped_drives.h"

namespace platform {
namespace {

constexpr std::uint32_t kLongWaitMs = 30000;  // liveness only

std::string Pattern(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::int64_t RoundUp(std::int64_t size, std::uint32_t sector) {
  return (size + sector - 1) / sector * sector;
}

// True when some descriptor of this process has `path` open with O_DIRECT.
bool OpenDirect(const std::string& path) {
  const std::string canonical = std::filesystem::canonical(path);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != canonical) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    while (info >> key) {
      if (key != "flags:") continue;
      std::string octal;
      info >> octal;
      if (std::stoul(octal, nullptr, 8) & O_DIRECT) return true;
    }
  }
  return false;
}

// Each test gets a fresh ext4 volume, with 512- or 4096-byte sectors, as drive E.
class VolumeFilesTest : public testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "no loop volumes here";
    testing_support::LoopVolume::Options options;
    options.sector_size = sector();
    volume_ = std::make_unique<testing_support::LoopVolume>(options);
    ASSERT_TRUE(volume_->ok()) << volume_->error();
    drives_.Put(u'E', volume_->mount_point(), sector());
  }

  unsigned sector() const { return GetParam(); }
  std::string Linux(const std::string& relative) const {
    return volume_->mount_point() + "/" + relative;
  }

  void Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(Linux(relative), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(Linux(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Runs one overlapped transfer on `port` and waits for its packet.
  static bool Transfer(const PortPtr& port, Handle file, bool write, void* buffer,
                       std::uint32_t bytes, std::int64_t offset, std::uint32_t* moved) {
    Overlapped ov;
    ov.Offset = static_cast<std::uint32_t>(offset);
    ov.OffsetHigh = static_cast<std::uint32_t>(offset >> 32);
    const bool queued =
        write ? WriteFile(file, buffer, bytes, &ov) : ReadFile(file, buffer, bytes, &ov);
    if (!queued) return false;
    CompletionPacket packet;
    const bool ok = port->Take(kLongWaitMs, &packet);
    EXPECT_EQ(packet.Ov, &ov);
    if (moved) *moved = packet.Bytes;
    return ok;
  }

  std::unique_ptr<testing_support::LoopVolume> volume_;
  testing_support::ScopedFakeDrives drives_;
  PortPtr port_ = CompletionPort::Create();
};

INSTANTIATE_TEST_SUITE_P(Sectors, VolumeFilesTest, testing::Values(512u, 4096u));

// A destination file as the copy writes it: created exclusively, pre-sized, written in whole
// sectors with direct I/O, cut to its true size, given its times and attributes.
TEST_P(VolumeFilesTest, CopiedFileComesOutExact) {
  const FileTime last_write = FileTimeFromUnix(981173106, 123456700);  // 2001-02-03 04:05:06.1234567
  const FileTime last_access = FileTimeFromUnix(1600000000, 100);
  constexpr std::uint32_t kBlock = 1 << 20;
  auto* buffer = static_cast<char*>(VirtualAlloc(kBlock));
  ASSERT_NE(buffer, nullptr);
  const std::int64_t sizes[] = {0, 1, sector() - 1, sector(), 3 * sector() + 17,
                                2 * kBlock + 5};
  for (std::int64_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string name = "copy" + std::to_string(size);
    const std::u16string path = u"E:\\" + std::u16string(name.begin(), name.end());
    const std::string content = Pattern(static_cast<std::size_t>(size), 7);
    const Handle file = CreateFile(path, GENERIC_WRITE, 0, CREATE_NEW,
                                   FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED);
    ASSERT_NE(file, kInvalidHandle) << GetLastError();
    EXPECT_TRUE(OpenDirect(Linux(name)));
    ASSERT_TRUE(BindToPort(file, port_));
    const std::int64_t rounded = RoundUp(size, sector());
    ASSERT_TRUE(SetFilePointer(file, rounded));
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(std::filesystem::file_size(Linux(name)), static_cast<std::uintmax_t>(rounded));
    for (std::int64_t offset = 0; offset < rounded; offset += kBlock) {
      const auto bytes = static_cast<std::uint32_t>(std::min<std::int64_t>(kBlock, rounded - offset));
      std::memset(buffer, 0, kBlock);
      content.copy(buffer, std::min<std::int64_t>(bytes, size - offset), offset);
      std::uint32_t moved = 0;
      ASSERT_TRUE(Transfer(port_, file, true, buffer, bytes, offset, &moved)) << GetLastError();
      EXPECT_EQ(moved, bytes);
    }
    ASSERT_TRUE(SetFilePointer(file, size));
    ASSERT_TRUE(SetEndOfFile(file));
    ASSERT_TRUE(SetFileTime(file, 0, last_access, last_write));
    ASSERT_TRUE(CloseHandle(file));
    ASSERT_TRUE(SetFileAttributes(path, FILE_ATTRIBUTE_READONLY));

    struct stat info;
    ASSERT_EQ(stat(Linux(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0u);
    FileAttributeData data;
    ASSERT_TRUE(GetFileAttributesEx(path, &data));
    EXPECT_EQ(data.Attributes, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.Size, size);
    EXPECT_EQ(data.Times.LastWrite, last_write);
    EXPECT_EQ(data.Times.LastAccess, last_access);
    EXPECT_NE(data.Times.Creation, 0u);
    EXPECT_EQ(Read(name), content);  // after the times: reading may update the access time

    ASSERT_TRUE(SetFileAttributes(path, 0));
    EXPECT_EQ(GetFileAttributes(path), FILE_ATTRIBUTE_ARCHIVE);
  }
  VirtualFree(buffer);
}

// The source reads whole sectors, past the end of a file whose size is no sector multiple.
TEST_P(VolumeFilesTest, SectorRoundedDirectReadReturnsTheFileBytes) {
  auto* buffer = static_cast<char*>(VirtualAlloc(1 << 20));
  ASSERT_NE(buffer, nullptr);
  const std::int64_t sizes[] = {1000, sector(), 2 * sector() + 1, (1 << 20) - 3};
  for (std::int64_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string name = "source" + std::to_string(size);
    const std::string content = Pattern(static_cast<std::size_t>(size), 3);
    Write(name, content);
    const Handle file = CreateFile(u"E:\\" + std::u16string(name.begin(), name.end()),
                                   GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                   FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED);
    ASSERT_NE(file, kInvalidHandle) << GetLastError();
    ASSERT_TRUE(BindToPort(file, port_));
    std::memset(buffer, 0x7F, 1 << 20);
    std::uint32_t moved = 0;
    const auto rounded = static_cast<std::uint32_t>(RoundUp(size, sector()));
    ASSERT_TRUE(Transfer(port_, file, false, buffer, rounded, 0, &moved)) << GetLastError();
    EXPECT_EQ(moved, size);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(size)), content);
    ASSERT_TRUE(Transfer(port_, file, false, buffer, sector(), rounded, &moved));
    EXPECT_EQ(moved, 0u);  // wholly past the end: success, nothing read
    EXPECT_TRUE(CloseHandle(file));
  }
  VirtualFree(buffer);
}

// Direct I/O wants aligned memory, offsets and sizes; a transfer that is not aligned still
// moves the right bytes.
TEST_P(VolumeFilesTest, UnalignedDirectTransfersStillMoveTheRightBytes) {
  auto* buffer = static_cast<char*>(VirtualAlloc(3 * 4096));
  ASSERT_NE(buffer, nullptr);
  const struct {
    std::size_t memory_offset;
    std::int64_t file_offset;
    std::uint32_t bytes;
  } cases[] = {{1, 0, 4096}, {0, 100, 4096}, {0, 0, 100}, {sector() / 2, sector(), sector()}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(n);
    const std::string name = "unaligned" + std::to_string(n++);
    const std::string content = Pattern(c.bytes, n);
    const Handle file = CreateFile(u"E:\\" + std::u16string(name.begin(), name.end()),
                                   GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW,
                                   FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED);
    ASSERT_NE(file, kInvalidHandle) << GetLastError();
    ASSERT_TRUE(BindToPort(file, port_));
    content.copy(buffer + c.memory_offset, c.bytes);
    std::uint32_t moved = 0;
    ASSERT_TRUE(Transfer(port_, file, true, buffer + c.memory_offset, c.bytes, c.file_offset,
                         &moved)) << GetLastError();
    EXPECT_EQ(moved, c.bytes);
    std::memset(buffer, 0, 3 * 4096);
    ASSERT_TRUE(Transfer(port_, file, false, buffer + c.memory_offset, c.bytes, c.file_offset,
                         &moved)) << GetLastError();
    EXPECT_EQ(moved, c.bytes);
    EXPECT_EQ(std::string(buffer + c.memory_offset, c.bytes), content);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read(name), std::string(static_cast<std::size_t>(c.file_offset), '\0') + content);
  }
  VirtualFree(buffer);
}

TEST_P(VolumeFilesTest, ExclusiveWriterKeepsOtherOpensOut) {
  Write("held", "precious");
  const Handle writer =
      CreateFile(u"E:\\held", GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING);
  ASSERT_NE(writer, kInvalidHandle) << GetLastError();
  const struct {
    const char* what;
    std::uint32_t access, share, disposition;
  } others[] = {
      {"second exclusive writer", GENERIC_WRITE, 0, CREATE_ALWAYS},
      {"reader", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
  };
  for (const auto& other : others) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(CreateFile(u"E:\\held", other.access, other.share, other.disposition, 0),
              kInvalidHandle) << other.what;
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << other.what;
  }
  EXPECT_EQ(Read("held"), "precious");  // the refused CREATE_ALWAYS did not truncate it
  ASSERT_TRUE(CloseHandle(writer));
  for (const auto& other : others) {
    const Handle file = CreateFile(u"E:\\held", other.access, other.share, other.disposition, 0);
    EXPECT_NE(file, kInvalidHandle) << other.what;
    EXPECT_TRUE(CloseHandle(file));
  }
  // Readers that share do not keep each other out.
  const Handle a = CreateFile(u"E:\\held", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  const Handle b = CreateFile(u"E:\\held", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  EXPECT_NE(a, kInvalidHandle);
  EXPECT_NE(b, kInvalidHandle);
  EXPECT_NE(a, b);
  CloseHandle(a);
  CloseHandle(b);
}

TEST_P(VolumeFilesTest, ForceDirectoriesCreatesEveryMissingLevel) {
  ASSERT_TRUE(ForceDirectories(u"E:\\one\\two\\three"));
  struct stat info;
  ASSERT_EQ(stat(Linux("one/two/three").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0777 & ~mask);
  EXPECT_TRUE(ForceDirectories(u"E:\\one\\two\\three"));   // already there
  EXPECT_TRUE(ForceDirectories(u"E:\\one\\two\\four\\"));  // trailing backslash
  EXPECT_TRUE(std::filesystem::is_directory(Linux("one/two/four")));
  Write("one/file", "x");
  EXPECT_FALSE(ForceDirectories(u"E:\\one\\file\\below"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(ForceDirectories(u"E:\\one\\file"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

TEST_P(VolumeFilesTest, FolderTimesAreSetThroughAFolderHandle) {
  ASSERT_TRUE(ForceDirectories(u"E:\\dated"));
  const Handle folder = CreateFile(u"E:\\dated", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(folder, kInvalidHandle) << GetLastError();
  FileAttributeData original;
  ASSERT_TRUE(GetFileAttributesEx(u"E:\\dated", &original));
  const FileTime last_write = FileTimeFromUnix(1234567890, 500);
  ASSERT_TRUE(SetFileTime(folder, 0, 0, last_write));  // access time left as it was
  ASSERT_TRUE(CloseHandle(folder));
  FileAttributeData data;
  ASSERT_TRUE(GetFileAttributesEx(u"E:\\dated", &data));
  EXPECT_EQ(data.Attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(data.Times.LastWrite, last_write);
  EXPECT_EQ(data.Times.LastAccess, original.Times.LastAccess);
}

TEST_P(VolumeFilesTest, ListingShowsEveryNameTheProgramCanExpress) {
  ASSERT_TRUE(ForceDirectories(u"E:\\list\\sub"));
  Write("list/plain.txt", "12345");
  const std::string latin1_name = "caf\xE9.bin";  // not UTF-8
  Write("list/" + latin1_name, "abc");
  Write("list/back\\slash", "hidden");
  ASSERT_EQ(symlink("sub", Linux("list/link_to_sub").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", Linux("list/dangling").c_str()), 0);

  std::map<std::u16string, FindData> found;
  FindData data;
  const Handle find = FindFirstFile(u"E:\\list\\*", &data);
  ASSERT_NE(find, kInvalidHandle) << GetLastError();
  do {
    EXPECT_FALSE(found.count(data.Name));
    found[data.Name] = data;
  } while (FindNextFile(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_FALSE(FindNextFile(find, &data));
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindNextFile(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  const std::u16string latin1 = u"caf\xDCE9.bin";
  ASSERT_EQ(found.size(), 5u);
  // A backslash inside a name is escaped, not a separator: the name is listed whole.
  EXPECT_EQ(found[u"back\xDC5C" u"slash"].Size, 6);
  EXPECT_EQ(found[u"plain.txt"].Attributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(found[u"plain.txt"].Size, 5);
  EXPECT_EQ(found[u"sub"].Attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(found[u"link_to_sub"].Attributes, FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(found.count(latin1));
  EXPECT_EQ(found[latin1].Size, 3);
  EXPECT_NE(found[latin1].Times.LastWrite, 0u);

  // The decoded name leads back to the same bytes on disk.
  const Handle file = CreateFile(u"E:\\list\\" + latin1, GENERIC_READ, FILE_SHARE_READ,
                                 OPEN_EXISTING, 0);
  EXPECT_NE(file, kInvalidHandle) << GetLastError();
  CloseHandle(file);
  ASSERT_TRUE(DeleteFile(u"E:\\list\\" + latin1));
  EXPECT_FALSE(std::filesystem::exists(Linux("list/" + latin1_name)));

  EXPECT_EQ(FindFirstFile(u"E:\\list\\sub\\*", &data), kInvalidHandle);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);  // empty folder
  EXPECT_EQ(FindFirstFile(u"E:\\list\\missing\\*", &data), kInvalidHandle);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  const Handle root = FindFirstFile(u"E:\\*", &data);  // the volume's own root
  EXPECT_NE(root, kInvalidHandle) << GetLastError();
  FindClose(root);
}

TEST_P(VolumeFilesTest, FailuresMapToTheirCodes) {
  ASSERT_TRUE(ForceDirectories(u"E:\\full\\inner"));
  Write("full/file", "x");
  ASSERT_TRUE(ForceDirectories(u"E:\\empty"));
  Write("readonly", "r");
  ASSERT_TRUE(SetFileAttributes(u"E:\\readonly", FILE_ATTRIBUTE_READONLY));
  const Handle reader = CreateFile(u"E:\\full\\file", GENERIC_READ, FILE_SHARE_READ,
                                   OPEN_EXISTING, 0);
  const std::u16string too_long = u"E:\\" + std::u16string(300, u'n');
  const struct {
    const char* what;
    bool (*call)(Handle reader, const std::u16string& too_long);
    ErrorCode error;  // ERROR_SUCCESS: the call succeeds
  } cases[] = {
      {"delete missing file", [](Handle, const std::u16string&) { return DeleteFile(u"E:\\nope"); },
       ERROR_FILE_NOT_FOUND},
      {"delete in missing folder",
       [](Handle, const std::u16string&) { return DeleteFile(u"E:\\nodir\\nope"); },
       ERROR_PATH_NOT_FOUND},
      {"delete a folder", [](Handle, const std::u16string&) { return DeleteFile(u"E:\\empty"); },
       ERROR_ACCESS_DENIED},
      {"remove missing folder",
       [](Handle, const std::u16string&) { return RemoveDirectory(u"E:\\nodir"); },
       ERROR_FILE_NOT_FOUND},
      {"remove folder with files",
       [](Handle, const std::u16string&) { return RemoveDirectory(u"E:\\full"); },
       ERROR_DIR_NOT_EMPTY},
      {"create existing file",
       [](Handle, const std::u16string&) {
         return CreateFile(u"E:\\full\\file", GENERIC_WRITE, 0, CREATE_NEW, 0) != kInvalidHandle;
       },
       ERROR_FILE_EXISTS},
      {"open missing file",
       [](Handle, const std::u16string&) {
         return CreateFile(u"E:\\full\\nope", GENERIC_READ, 0, OPEN_EXISTING, 0) != kInvalidHandle;
       },
       ERROR_FILE_NOT_FOUND},
      {"create in missing folder",
       [](Handle, const std::u16string&) {
         return CreateFile(u"E:\\nodir\\f", GENERIC_WRITE, 0, CREATE_NEW, 0) != kInvalidHandle;
       },
       ERROR_PATH_NOT_FOUND},
      {"open a folder as a file",
       [](Handle, const std::u16string&) {
         return CreateFile(u"E:\\empty", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0) !=
                kInvalidHandle;
       },
       ERROR_ACCESS_DENIED},
      {"attributes of missing file",
       [](Handle, const std::u16string&) {
         return GetFileAttributes(u"E:\\nope") != INVALID_FILE_ATTRIBUTES;
       },
       ERROR_FILE_NOT_FOUND},
      {"drive not in the table",
       [](Handle, const std::u16string&) { return DeleteFile(u"Q:\\file"); },
       ERROR_PATH_NOT_FOUND},
      {"malformed path", [](Handle, const std::u16string&) { return DeleteFile(u"relative"); },
       ERROR_INVALID_NAME},
      {"name too long",
       [](Handle, const std::u16string& name) {
         return CreateFile(name, GENERIC_WRITE, 0, CREATE_NEW, 0) != kInvalidHandle;
       },
       ERROR_FILENAME_EXCED_RANGE},
      {"cut a file opened for reading",
       [](Handle file, const std::u16string&) { return SetEndOfFile(file); },
       ERROR_ACCESS_DENIED},
      {"delete a read-only file",
       [](Handle, const std::u16string&) { return DeleteFile(u"E:\\readonly"); },
       ERROR_ACCESS_DENIED},
      {"remove empty folder",
       [](Handle, const std::u16string&) { return RemoveDirectory(u"E:\\empty"); },
       ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(c.call(reader, too_long), c.error == ERROR_SUCCESS) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  CloseHandle(reader);
}

TEST_P(VolumeFilesTest, ReadOnlyVolumeRefusesWritesAsWriteProtected) {
  Write("kept", "k");
  ASSERT_TRUE(testing_support::RunCommand("mount -o remount,ro " + volume_->mount_point()));
  EXPECT_EQ(CreateFile(u"E:\\new", GENERIC_WRITE, 0, CREATE_NEW, 0), kInvalidHandle);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  EXPECT_FALSE(DeleteFile(u"E:\\kept"));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  const Handle source = CreateFile(u"E:\\kept", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                   FILE_FLAG_NO_BUFFERING);
  EXPECT_NE(source, kInvalidHandle) << GetLastError();
  CloseHandle(source);
}

TEST_P(VolumeFilesTest, FullVolumeReportsDiskFull) {
  testing_support::LoopVolume::Options options;
  options.size_bytes = 8 << 20;
  options.sector_size = sector();
  testing_support::LoopVolume small(options);
  ASSERT_TRUE(small.ok()) << small.error();
  drives_.Put(u'F', small.mount_point(), sector());

  const Handle presized = CreateFile(u"F:\\presized", GENERIC_WRITE, 0, CREATE_NEW,
                                     FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED);
  ASSERT_NE(presized, kInvalidHandle) << GetLastError();
  ASSERT_TRUE(SetFilePointer(presized, 64 << 20));
  EXPECT_FALSE(SetEndOfFile(presized));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  ASSERT_TRUE(CloseHandle(presized));
  ASSERT_TRUE(DeleteFile(u"F:\\presized"));

  const Handle file = CreateFile(u"F:\\filler", GENERIC_WRITE, 0, CREATE_NEW,
                                 FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED);
  ASSERT_NE(file, kInvalidHandle) << GetLastError();
  ASSERT_TRUE(BindToPort(file, port_));
  constexpr std::uint32_t kBlock = 1 << 20;
  void* buffer = VirtualAlloc(kBlock);
  ASSERT_NE(buffer, nullptr);
  std::int64_t offset = 0;
  bool failed = false;
  for (int block = 0; block < 9 && !failed; ++block, offset += kBlock)
    failed = !Transfer(port_, file, true, buffer, kBlock, offset, nullptr);
  EXPECT_TRUE(failed) << "an 8 MiB volume took 9 MiB";
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_TRUE(CloseHandle(file));
  VirtualFree(buffer);
}

}  // namespace
}  // namespace platform

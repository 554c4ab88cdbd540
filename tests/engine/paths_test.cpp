#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/errors.h"

namespace platform {
namespace {

// Every byte string must come back exactly, valid UTF-8 or not.
TEST(PathsTest, NamesRoundTripAnyBytes) {
  const std::vector<std::string> cases = {
      "",
      "plain.txt",
      "caf\xC3\xA9",                     // é
      "\xE2\x82\xAC",                    // €
      "\xF0\x9F\x98\x80",                // U+1F600, a surrogate pair in UTF-16
      "\xFF",                            // never valid
      "a\x80z",                          // lone continuation byte
      "\xC3",                            // truncated sequence at the end
      "\xC3(",                           // truncated sequence in the middle
      "\xC0\xAF",                        // overlong '/'
      "\xE0\x80\xAF",                    // overlong, three bytes
      "\xF0\x80\x80\xAF",                // overlong, four bytes
      "\xED\xA0\x80",                    // U+D800 encoded in UTF-8
      "\xED\xB2\x80",                    // U+DC80 encoded in UTF-8
      "\xF4\x90\x80\x80",                // above U+10FFFF
      "\xF8\x88\x80\x80\x80",            // five-byte form
      "\xC3\xA9\xFF\xC3\xA9",            // valid around invalid
      std::string("nul\0inside", 10),
  };
  for (const std::string& bytes : cases) {
    std::string back;
    ASSERT_TRUE(EncodeName(DecodeName(bytes), &back)) << bytes;
    EXPECT_EQ(back, bytes);
  }
  // Every single byte and every pair of bytes.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      std::string back;
      ASSERT_TRUE(EncodeName(DecodeName(bytes), &back));
      ASSERT_EQ(back, bytes);
    }
  }
}

TEST(PathsTest, DecodesValidUtf8AndEscapesEachInvalidByte) {
  EXPECT_EQ(DecodeName("caf\xC3\xA9"), u"caf\u00E9");
  EXPECT_EQ(DecodeName("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(DecodeName("a\xFF"), std::u16string(u"a\xDCFF"));
  EXPECT_EQ(DecodeName("\xC0\xAF"), std::u16string(u"\xDCC0\xDCAF"));
  EXPECT_EQ(DecodeName("\xED\xA0\x80"), std::u16string(u"\xDCED\xDCA0\xDC80"));
  EXPECT_EQ(DecodeName("\xF4\x90\x80\x80"), std::u16string(u"\xDCF4\xDC90\xDC80\xDC80"));
  EXPECT_EQ(DecodeName("\xE2\x82"), std::u16string(u"\xDCE2\xDC82"));
}

TEST(PathsTest, TextWithoutByteFormIsRefused) {
  std::string bytes = "untouched";
  EXPECT_FALSE(EncodeName(std::u16string(1, char16_t(0xD800)), &bytes));  // lone high
  EXPECT_FALSE(EncodeName(std::u16string(1, char16_t(0xDC7F)), &bytes));  // low, below range
  EXPECT_FALSE(EncodeName(std::u16string(1, char16_t(0xDD00)), &bytes));  // low, above range
  EXPECT_FALSE(EncodeName(std::u16string{u'a', char16_t(0xDBFF), u'b'}, &bytes));
  EXPECT_EQ(bytes, "untouched");
  EXPECT_TRUE(EncodeName(std::u16string{char16_t(0xD83D), char16_t(0xDE00)}, &bytes));
  EXPECT_EQ(bytes, "\xF0\x9F\x98\x80");
}

class PathsDrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drives_ = MakeFakeDrives();
    FakeDrive c;
    c.Letter = u'C';
    c.Directory = "/";
    drives_->Put(c);
    FakeDrive e;
    e.Letter = u'E';
    e.Directory = "/media/stick";
    drives_->Put(e);
    FakeDrive f;
    f.Letter = u'F';
    f.Directory = "/media/stick/inner/";  // trailing slash tolerated
    drives_->Put(f);
    SetDrives(drives_);
  }
  void TearDown() override { SetDrives(nullptr); }

  std::shared_ptr<FakeDrives> drives_;
};

TEST_F(PathsDrivesTest, ToLinuxPathMapsDriveLetters) {
  struct Case {
    std::u16string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {u"E:\\a\\b", "/media/stick/a/b"},
      {u"\\\\?\\E:\\a\\b", "/media/stick/a/b"},
      {u"e:\\a", "/media/stick/a"},
      {u"\\\\?\\e:\\a", "/media/stick/a"},
      {u"E:", "/media/stick"},
      {u"E:\\", "/media/stick"},
      {u"E:\\dir\\", "/media/stick/dir/"},
      {u"C:\\", "/"},
      {u"C:\\etc\\passwd", "/etc/passwd"},
      {u"E:\\caf\u00E9", "/media/stick/caf\xC3\xA9"},
      {std::u16string(u"E:\\x") + char16_t(0xDCFF), "/media/stick/x\xFF"},
  };
  for (const Case& c : cases) {
    std::string linux_path;
    ErrorCode error = 12345;
    ASSERT_TRUE(ToLinuxPath(c.path, &linux_path, &error)) << c.expected;
    EXPECT_EQ(linux_path, c.expected);
    EXPECT_EQ(error, ERROR_SUCCESS);
  }
}

TEST_F(PathsDrivesTest, ToLinuxPathNeverTruncates) {
  std::u16string path = u"E:";
  std::string expected = "/media/stick";
  for (int i = 0; i < 200; ++i) {
    path += u"\\component_" + std::u16string(40, u'x');
    expected += "/component_" + std::string(40, 'x');
  }
  std::string linux_path;
  ErrorCode error;
  ASSERT_TRUE(ToLinuxPath(path, &linux_path, &error));
  EXPECT_EQ(linux_path, expected);
  EXPECT_GT(linux_path.size(), 8000u);
}

TEST_F(PathsDrivesTest, ToLinuxPathRefusesWithErrorCode) {
  struct Case {
    std::u16string path;
    ErrorCode error;
  };
  const std::vector<Case> cases = {
      {u"Q:\\a", ERROR_PATH_NOT_FOUND},          // no such drive
      {u"\\\\?\\Q:\\a", ERROR_PATH_NOT_FOUND},
      {u"", ERROR_INVALID_NAME},
      {u"E", ERROR_INVALID_NAME},
      {u"E:a", ERROR_INVALID_NAME},              // relative to a drive's current folder
      {u"\\a\\b", ERROR_INVALID_NAME},
      {u"\\\\server\\share\\a", ERROR_INVALID_NAME},
      {u"\\\\?\\", ERROR_INVALID_NAME},
      {u"1:\\a", ERROR_INVALID_NAME},
      {u"relative\\a", ERROR_INVALID_NAME},
      {std::u16string(u"E:\\a") + char16_t(0xDC10), ERROR_INVALID_NAME},  // below U+DC80
      {std::u16string(u"E:\\a") + char16_t(0xD800), ERROR_INVALID_NAME},  // lone high
      {std::u16string(u"E:\\a\0b", 6), ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    std::string linux_path = "untouched";
    ErrorCode error = 0;
    EXPECT_FALSE(ToLinuxPath(c.path, &linux_path, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(linux_path, "untouched");
  }
}

TEST_F(PathsDrivesTest, ToProgramPathUsesLongestMountPoint) {
  struct Case {
    std::string linux_path;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {"/media/stick/a/b", u"E:\\a\\b"},
      {"/media/stick", u"E:\\"},
      {"/media/stick/", u"E:\\"},
      {"/media/stick//a//b/", u"E:\\a\\b"},
      {"/media/stick/inner/x", u"F:\\x"},
      {"/media/stick/inner", u"F:\\"},
      {"/media/stick/innerx", u"E:\\innerx"},     // whole components only
      {"/media/sticky/a", u"C:\\media\\sticky\\a"},
      {"/", u"C:\\"},
      {"/home/caf\xC3\xA9", u"C:\\home\\caf\u00E9"},
      {"/home/x\xFF", std::u16string(u"C:\\home\\x") + char16_t(0xDCFF)},
  };
  for (const Case& c : cases) {
    std::u16string path;
    ASSERT_TRUE(ToProgramPath(c.linux_path, &path)) << c.linux_path;
    EXPECT_EQ(path, c.expected) << c.linux_path;
  }
}

// A backslash inside a Linux name is part of the name, not a separator, and comes back as
// itself.
TEST_F(PathsDrivesTest, BackslashInsideANameIsEscapedAndComesBack) {
  std::u16string path;
  ASSERT_TRUE(ToProgramPath("/media/stick/a\\b/c", &path));
  EXPECT_EQ(path, u"E:\\a\xDC5C" u"b\\c");
  std::string back;
  ErrorCode error = 0;
  ASSERT_TRUE(ToLinuxPath(path, &back, &error));
  EXPECT_EQ(back, "/media/stick/a\\b/c");
}

TEST_F(PathsDrivesTest, ToProgramPathRefusesUnknownPlaces) {
  std::u16string path = u"untouched";
  EXPECT_FALSE(ToProgramPath("relative/path", &path));
  EXPECT_EQ(path, u"untouched");
  drives_->Remove(u"C");
  EXPECT_FALSE(ToProgramPath("/home/x", &path));
  EXPECT_EQ(path, u"untouched");
}

TEST_F(PathsDrivesTest, ProgramPathsAndLinuxPathsRoundTrip) {
  const std::vector<std::string> linux_paths = {"/media/stick/a/b", "/media/stick/\xFF\xFE/x",
                                                "/etc/caf\xC3\xA9", "/media/stick/inner/q"};
  for (const std::string& linux_path : linux_paths) {
    std::u16string program_path;
    ASSERT_TRUE(ToProgramPath(linux_path, &program_path));
    std::string back;
    ErrorCode error;
    ASSERT_TRUE(ToLinuxPath(program_path, &back, &error));
    EXPECT_EQ(back, linux_path);
  }
}

// The engine's form: a folder named directly, its Linux part taken as it is. No drive table is
// consulted, so that any number of drives can be reached.
TEST_F(PathsDrivesTest, MountPointPathsNeedNoDriveTable) {
  SetDrives(MakeFakeDrives());
  struct Case {
    std::u16string path;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {u"/media/stick/a\\b", "/media/stick/a/b"},
      {u"\\\\?\\/media/stick/a\\b", "/media/stick/a/b"},
      {u"/media/stick/", "/media/stick/"},
      {u"/media/stick/dir\\", "/media/stick/dir/"},
      {u"/", "/"},
      {u"/etc\\passwd", "/etc/passwd"},
      // Backslashes before the last '/' belong to the mount point's own names.
      {u"/media/my stick\\x/dir\\f", "/media/my stick\\x/dir/f"},
      {u"/media/caf\u00E9/x" + std::u16string(1, char16_t(0xDCFF)),
       "/media/caf\xC3\xA9/x\xFF"},
      {std::u16string(u"/media/") + char16_t(0xDCFE) + u"/a", "/media/\xFE/a"},
  };
  for (const Case& c : cases) {
    std::string linux_path;
    ErrorCode error = 12345;
    ASSERT_TRUE(ToLinuxPath(c.path, &linux_path, &error)) << c.expected;
    EXPECT_EQ(linux_path, c.expected);
    EXPECT_EQ(error, ERROR_SUCCESS);
  }
  for (const std::u16string& bad :
       {std::u16string(u"/media/a\0b/c", 12), std::u16string(u"/media/a/b\0c", 12),
        std::u16string(u"/media/") + char16_t(0xD800) + u"/a",
        std::u16string(u"/media/a/") + char16_t(0xDC10)}) {
    std::string linux_path = "untouched";
    ErrorCode error = 0;
    EXPECT_FALSE(ToLinuxPath(bad, &linux_path, &error));
    EXPECT_EQ(error, ERROR_INVALID_NAME);
    EXPECT_EQ(linux_path, "untouched");
  }
}

// A dropped Linux path through its drive's mount point and back, byte for byte, also when the
// mount point holds a backslash or bytes that are not UTF-8.
TEST_F(PathsDrivesTest, PathsRoundTripThroughTheMountPoint) {
  FakeDrive odd;
  odd.Directory = "/media/my stick\\x\xFF";
  drives_->Put(odd);
  struct Case {
    std::string linux_path;
    std::string mount_point;
    std::u16string below_root;
  };
  const std::vector<Case> cases = {
      {"/media/stick/a/b", "/media/stick", u"a\\b"},
      {"/media/stick", "/media/stick", u""},
      {"/media/stick/\xFF\xFE/x", "/media/stick", std::u16string(u"\xDCFF\xDCFE\\x")},
      {"/media/stick/inner/q", "/media/stick/inner", u"q"},
      {"/etc/caf\xC3\xA9", "/", u"etc\\caf\u00E9"},
      {"/media/my stick\\x\xFF/sub\xFE/f", "/media/my stick\\x\xFF",
       std::u16string(u"sub\xDCFE\\f")},
  };
  for (const Case& c : cases) {
    std::string mount_point;
    std::u16string path;
    ASSERT_TRUE(ToDrivePath(c.linux_path, &mount_point, &path)) << c.linux_path;
    EXPECT_EQ(mount_point, c.mount_point);
    const std::u16string root = DriveRootPath(mount_point);
    EXPECT_EQ(path, root + c.below_root) << c.linux_path;
    EXPECT_EQ(DriveRootLength(path), root.size()) << c.linux_path;
    std::string back;
    ErrorCode error;
    ASSERT_TRUE(ToLinuxPath(path, &back, &error)) << c.linux_path;
    // The root itself comes back with the '/' that ends a root.
    EXPECT_EQ(back, c.below_root.empty() ? c.linux_path + "/" : c.linux_path);
  }
  EXPECT_EQ(DriveRootPath(""), u"");
}

TEST_F(PathsDrivesTest, TwoLetterNamesAndRootLengths) {
  FakeDrive ab;
  ab.Letter = u"AB";
  ab.Directory = "/media/hub/ab";
  drives_->Put(ab);
  std::string linux_path;
  ErrorCode error;
  ASSERT_TRUE(ToLinuxPath(u"ab:\\x", &linux_path, &error));
  EXPECT_EQ(linux_path, "/media/hub/ab/x");
  std::u16string path;
  ASSERT_TRUE(ToProgramPath("/media/hub/ab/x", &path));
  EXPECT_EQ(path, u"AB:\\x");
  EXPECT_FALSE(ToLinuxPath(u"ABC:\\x", &linux_path, &error));
  EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);

  const struct {
    std::u16string path;
    std::size_t root;
  } cases[] = {
      {u"E:\\a\\b", 3},           {u"\\\\?\\E:\\a", 7},  {u"AB:\\x", 4},
      {u"E:", 2},                 {u"/media/stick/a\\b", 13},
      {u"\\\\?\\/media/stick/", 17}, {u"/", 1},          {u"relative\\a", 0},
      {u"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DriveRootLength(c.path), c.root) << c.root;
}

}  // namespace
}  // namespace platform

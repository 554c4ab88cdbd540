// UTF-8 names with the lone-surrogate escape for undecodable bytes, and the mapping between the
// program's paths and Linux paths (paths.h).
#include "platform/paths.h"

#include "platform/drive_names.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/path_prefix.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) <-> U+DC00 + b
// A backslash inside a Linux name would split it in the program's paths: it takes the same
// kind of escape, below the range of undecodable bytes, so that such a name is copied too.
constexpr char16_t kEscapedBackslash = kEscapeBase + '\\';

}  // namespace

std::u16string DecodeName(const std::string& bytes) {
  std::u16string name;
  name.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] == '\\') {
      name.push_back(kEscapedBackslash);
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t length = DecodeUtf8At(bytes, i, &cp);
    if (length == 0) {
      // Only bytes 0x80..0xFF can be invalid, so escapes stay within U+DC80..U+DCFF.
      name.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    AppendUtf16(cp, &name);
    i += length;
  }
  return name;
}

bool EncodeName(const std::u16string& name, std::string* bytes) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t u = name[i];
    if (IsHighSurrogate(u)) {
      if (i + 1 >= name.size() || !IsLowSurrogate(name[i + 1])) return false;
      AppendUtf8(CombineSurrogates(u, name[i + 1]), &out);
      ++i;
    } else if (IsLowSurrogate(u)) {
      if (u != kEscapedBackslash && (u < 0xDC80 || u > 0xDCFF)) return false;
      out.push_back(static_cast<char>(u - kEscapeBase));
    } else {
      AppendUtf8(u, &out);
    }
  }
  *bytes = std::move(out);
  return true;
}

namespace {

const std::u16string kLongPrefix = u"\\\\?\\";

std::size_t AfterPrefix(const std::u16string& path) {
  return path.compare(0, kLongPrefix.size(), kLongPrefix) == 0 ? kLongPrefix.size() : 0;
}

// The letters of "AB:" at `pos` and the position after the colon; false for anything else.
bool ParseDriveName(const std::u16string& path, std::size_t pos, std::u16string* name,
                 std::size_t* after) {
  std::size_t end = pos;
  while (end < path.size() && ((path[end] >= u'A' && path[end] <= u'Z') ||
                               (path[end] >= u'a' && path[end] <= u'z'))) {
    ++end;
  }
  if (end == pos || end >= path.size() || path[end] != u':') return false;
  *name = CanonicalDriveName(path.substr(pos, end - pos));
  *after = end + 1;
  return true;
}

// Program names separated by backslashes to their Linux bytes.
bool NamesToBytes(std::u16string names, std::string* bytes) {
  for (char16_t& u : names) {
    if (u == u'\0') return false;
    if (u == u'\\') u = u'/';
  }
  return EncodeName(names, bytes);
}

// The part of a Linux path below a mount point, as program names joined by backslashes.
bool BytesToNames(const std::string& rest, std::u16string* names) {
  std::u16string result;
  std::size_t start = 0;
  while (start < rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) {  // repeated slashes make no empty names
      if (!result.empty()) result.push_back(u'\\');
      result += DecodeName(rest.substr(start, end - start));
    }
    start = end + 1;
  }
  *names = std::move(result);
  return true;
}

}  // namespace

bool ToLinuxPath(const std::u16string& path, std::string* linux_path, ErrorCode* error) {
  ErrorCode ignored;
  if (!error) error = &ignored;
  const std::size_t pos = AfterPrefix(path);
  std::string result;
  if (pos < path.size() && path[pos] == u'/') {
    // The Linux part is taken as it is, backslashes included; only the names are converted.
    const std::size_t names = path.rfind(u'/') + 1;
    std::string folder, below;
    const std::u16string linux_part = path.substr(pos, names - pos);
    if (linux_part.find(u'\0') != std::u16string::npos || !EncodeName(linux_part, &folder) ||
        !NamesToBytes(path.substr(names), &below)) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    result = folder + below;
  } else {
    // "X:" followed by the end or a backslash; anything else (relative, UNC) is malformed.
    std::u16string name;
    std::size_t after;
    if (!ParseDriveName(path, pos, &name, &after) ||
        (after < path.size() && path[after] != u'\\')) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    std::string rest_bytes;
    if (!NamesToBytes(path.substr(after), &rest_bytes)) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    std::string mount_point;
    if (!CurrentDrives()->MountPoint(name, &mount_point)) {
      *error = ERROR_PATH_NOT_FOUND;
      return false;
    }
    // rest_bytes is "" or starts with '/'. "X:\" names the mount point itself, and a mount
    // point ending in '/' (the root) takes the rest without doubling the slash.
    if (rest_bytes == "/") rest_bytes.clear();
    if (!rest_bytes.empty() && !mount_point.empty() && mount_point.back() == '/')
      mount_point.pop_back();
    result = mount_point + rest_bytes;
  }
  *linux_path = std::move(result);
  *error = ERROR_SUCCESS;
  return true;
}

std::u16string DriveRootPath(const std::string& mount_point) {
  if (mount_point.empty()) return {};
  std::u16string root = DecodeName(TrimTrailingSlashes(mount_point));
  if (root.back() != u'/') root.push_back(u'/');
  return root;
}

std::size_t DriveRootLength(const std::u16string& path) {
  const std::size_t pos = AfterPrefix(path);
  if (pos < path.size() && path[pos] == u'/') return path.rfind(u'/') + 1;
  std::u16string name;
  std::size_t after;
  if (!ParseDriveName(path, pos, &name, &after)) return 0;
  return after < path.size() && path[after] == u'\\' ? after + 1 : after;
}

bool ToDrivePath(const std::string& linux_path, std::string* mount_point, std::u16string* path) {
  DriveEntry drive;
  std::string rest;
  std::u16string names;
  if (!CurrentDrives()->DriveOf(linux_path, &drive, &rest) || !BytesToNames(rest, &names))
    return false;
  if (mount_point) *mount_point = drive.MountPoint;
  *path = DriveRootPath(drive.MountPoint) + names;
  return true;
}

bool ToProgramPath(const std::string& linux_path, std::u16string* path) {
  DriveEntry drive;
  std::string rest;
  std::u16string names;
  if (!CurrentDrives()->DriveOf(linux_path, &drive, &rest) || !BytesToNames(rest, &names))
    return false;
  *path = drive.Name + u":\\" + names;
  return true;
}

}  // namespace platform

// UTF-8 names with the lone-surrogate escape for undecodable bytes, and the mapping between the
// program's "X:\..." paths and Linux paths through the drive table.
#include "platform/paths.h"

#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) <-> U+DC00 + b

}  // namespace

std::u16string DecodeName(const std::string& bytes) {
  std::u16string name;
  name.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
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
      if (u < 0xDC80 || u > 0xDCFF) return false;
      out.push_back(static_cast<char>(u - kEscapeBase));
    } else {
      AppendUtf8(u, &out);
    }
  }
  *bytes = std::move(out);
  return true;
}

bool ToLinuxPath(const std::u16string& path, std::string* linux_path, ErrorCode* error) {
  ErrorCode ignored;
  if (!error) error = &ignored;
  std::size_t pos = 0;
  static const std::u16string kLongPrefix = u"\\\\?\\";
  if (path.compare(0, kLongPrefix.size(), kLongPrefix) == 0) pos = kLongPrefix.size();
  // "X:" followed by the end or a backslash; anything else (relative, UNC) is malformed.
  if (path.size() < pos + 2 || path[pos + 1] != u':') {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  char16_t letter = path[pos];
  if (letter >= u'a' && letter <= u'z') letter = letter - u'a' + u'A';
  if (letter < u'A' || letter > u'Z' || (path.size() > pos + 2 && path[pos + 2] != u'\\')) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  std::u16string rest = path.substr(pos + 2);
  for (char16_t& u : rest) {
    if (u == u'\0') {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    if (u == u'\\') u = u'/';
  }
  std::string rest_bytes;
  if (!EncodeName(rest, &rest_bytes)) {
    *error = ERROR_INVALID_NAME;
    return false;
  }
  std::string mount_point;
  if (!CurrentDrives()->MountPoint(letter, &mount_point)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  // rest_bytes is "" or starts with '/'. "X:\" names the mount point itself, and a mount point
  // ending in '/' (the root) takes the rest without doubling the slash.
  if (rest_bytes == "/") rest_bytes.clear();
  if (!rest_bytes.empty() && !mount_point.empty() && mount_point.back() == '/')
    mount_point.pop_back();
  *linux_path = mount_point + rest_bytes;
  *error = ERROR_SUCCESS;
  return true;
}

bool ToProgramPath(const std::string& linux_path, std::u16string* path) {
  char16_t letter;
  std::string rest;
  if (!CurrentDrives()->DriveOf(linux_path, &letter, &rest)) return false;
  std::u16string result{letter, u':', u'\\'};
  std::size_t start = 0;
  bool first = true;
  while (start < rest.size()) {
    std::size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) {  // repeated slashes make no empty names
      const std::string component = rest.substr(start, end - start);
      if (component.find('\\') != std::string::npos) return false;
      if (!first) result.push_back(u'\\');
      result += DecodeName(component);
      first = false;
    }
    start = end + 1;
  }
  *path = std::move(result);
  return true;
}

}  // namespace platform

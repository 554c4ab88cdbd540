// Matching a Linux path against a directory on whole path components, as the drive tables use
// it to find the drive that holds a path. Paths are byte strings; no file system access.
#pragma once

#include <string>

namespace platform {

// The directory without trailing slashes ("/" stays "/").
inline std::string TrimTrailingSlashes(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

// True when `path` is `directory` itself or lies below it. *rest gets the part below it with no
// leading or trailing slash ("" for the directory itself). Returns the length of the matched
// directory through *depth so that callers can prefer the longest one.
inline bool BelowDirectory(const std::string& directory_in, const std::string& path,
                           std::string* rest, std::size_t* depth) {
  const std::string directory = TrimTrailingSlashes(directory_in);
  if (directory.empty() || path.compare(0, directory.size(), directory) != 0) return false;
  std::size_t pos = directory.size();
  if (directory != "/" && pos < path.size() && path[pos] != '/') return false;
  while (pos < path.size() && path[pos] == '/') ++pos;
  std::string below = path.substr(pos);
  while (!below.empty() && below.back() == '/') below.pop_back();
  if (rest) *rest = below;
  if (depth) *depth = directory.size();
  return true;
}

}  // namespace platform

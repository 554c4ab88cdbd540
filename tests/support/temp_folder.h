// A fresh folder below /tmp, removed with everything in it when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_support {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/orsanta-test-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testing_support

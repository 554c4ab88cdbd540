// The names users know drives by. A name is only what a row shows: the program reaches a drive
// through its mount point. C is "/", then D to Z in the order volumes are first seen, then AA,
// AB, ... with no end, so that a hub of any size can take part in one copy.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace platform {

// Place `index` of the sequence A, B, ..., Z, AA, AB, ..., AZ, BA, ..., ZZ, AAA, ...
std::u16string DriveNameAt(std::size_t index);

// The order of the device rows: shorter names first, then by their letters, so that Z comes
// before AA as it would in any file manager's list of drives.
bool DriveNameBefore(const std::u16string& a, const std::u16string& b);

// A name as a user may type it ("e", "ab") in the form the tables keep ("E", "AB"); empty when
// it is not made of letters A to Z alone.
std::u16string CanonicalDriveName(const std::u16string& name);

// Gives names to the volumes of one drive table across its readings. Not thread-safe: a table
// calls it under its own lock.
class DriveNamer {
 public:
  struct Volume {
    std::string Identity;  // what stays the same while the volume is mounted
    bool Root = false;     // mounted at "/": named C
  };

  // The names of the volumes mounted now, in their order. A volume named at the last reading
  // keeps its name; one seen earlier in this run takes its former name back when that is free;
  // any other takes the first free name from D on. `reserved` names are never given.
  std::vector<std::u16string> Name(const std::vector<Volume>& volumes,
                                   const std::set<std::u16string>& reserved = {});

 private:
  std::map<std::string, std::u16string> named_;       // the last reading's
  std::map<std::string, std::u16string> remembered_;  // every volume named in this run
};

}  // namespace platform

#include "platform/drive_names.h"

namespace platform {
namespace {

constexpr std::size_t kFirstFree = 3;  // D: A and B were floppies, C is "/"

}  // namespace

std::u16string DriveNameAt(std::size_t index) {
  // Bijective base 26: after Z comes AA, not BA, so no name is skipped.
  std::u16string name;
  std::size_t n = index + 1;
  while (n > 0) {
    --n;
    name.insert(name.begin(), static_cast<char16_t>(u'A' + n % 26));
    n /= 26;
  }
  return name;
}

bool DriveNameBefore(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::u16string CanonicalDriveName(const std::u16string& name) {
  std::u16string canonical;
  canonical.reserve(name.size());
  for (char16_t u : name) {
    if (u >= u'a' && u <= u'z') u = u - u'a' + u'A';
    if (u < u'A' || u > u'Z') return {};
    canonical.push_back(u);
  }
  return canonical;
}

std::vector<std::u16string> DriveNamer::Name(const std::vector<Volume>& volumes,
                                             const std::set<std::u16string>& reserved) {
  std::vector<std::u16string> names(volumes.size());
  std::set<std::u16string> used = reserved;
  // Names that stay come first, so that a volume seen before can never take one of them.
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    std::u16string name;
    if (volumes[i].Root) {
      name = u"C";
    } else if (auto kept = named_.find(volumes[i].Identity); kept != named_.end()) {
      name = kept->second;  // never C: only "/" gets it
    }
    if (!name.empty() && used.insert(name).second) names[i] = name;
  }
  std::size_t next = kFirstFree;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (!names[i].empty()) continue;
    auto before = remembered_.find(volumes[i].Identity);
    if (before != remembered_.end() && used.insert(before->second).second) {
      names[i] = before->second;
      continue;
    }
    // Names below `next` are all taken already: each search goes on where the last one ended.
    while (used.count(DriveNameAt(next)) != 0) ++next;
    names[i] = DriveNameAt(next);
    used.insert(names[i]);
  }
  named_.clear();
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    named_[volumes[i].Identity] = names[i];
    remembered_[volumes[i].Identity] = names[i];
  }
  return names;
}

}  // namespace platform

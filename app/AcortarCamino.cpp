#include "app/AcortarCamino.h"

std::u16string RecortarCarpeta(const std::u16string& folder) {
  std::u16string rest = folder;
  if (!rest.empty() && rest.front() == u'.') rest.erase(0, 4);  // an earlier "...\"
  std::u16string result = u"...\\";
  const auto slash = rest.find(u'\\');
  if (slash != std::u16string::npos) result += rest.substr(slash + 1);
  return result;
}

std::u16string AcortarCamino(const std::u16string& path, platform::Canvas& canvas, int width) {
  std::u16string result = path;
  const auto last_slash = path.rfind(u'\\');
  std::u16string folder =
      last_slash == std::u16string::npos ? std::u16string() : path.substr(0, last_slash + 1);
  std::u16string name = path.substr(folder.size());
  if (!folder.empty()) {
    while (folder != u"...\\" && canvas.TextWidth(result) > width) {
      folder = RecortarCarpeta(folder);
      result = folder + name;
    }
  }
  // The first round takes 4 characters and adds "..."; each later one removes the previous
  // "..." and one more character.
  while (name.size() > 3 && canvas.TextWidth(result) > width) {
    name = u"..." + name.substr(4);
    result = folder + name;
  }
  return result;
}

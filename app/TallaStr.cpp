#include "app/TallaStr.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/locale.h"

std::u16string TallaStr(std::int64_t V) {
  static const char16_t* const kUnidades[] = {u"Byte", u"Kb", u"Mb", u"Gb", u"Tb"};
  double X = static_cast<double>(V);
  int U = 0;
  for (;;) {
    // The unit is chosen by the length of the rounded value (ties to even), sign included.
    char digits[48];
    const int length = std::snprintf(digits, sizeof digits, "%.0f", std::nearbyint(X));
    if (length <= 3 || U == 4) break;
    X /= 1024;
    ++U;
  }
  return platform::FormatNumber2(X) + u" " + kUnidades[U];
}

std::u16string EnteroStr(std::int64_t V) {
  const std::string digits = std::to_string(V);
  return std::u16string(digits.begin(), digits.end());
}

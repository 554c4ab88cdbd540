// Name order: how listings are sorted and searched.
#include <algorithm>

#include "records/TFRec.h"

namespace {

// Only ASCII letters fold: an accented capital and its small letter stay different names.
char16_t Plegar(char16_t unidad) {
  return unidad >= u'a' && unidad <= u'z' ? static_cast<char16_t>(unidad - u'a' + u'A') : unidad;
}

}  // namespace

int CompararNombres(const std::u16string& a, const std::u16string& b) {
  const std::size_t comun = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < comun; ++i) {
    const char16_t x = Plegar(a[i]);
    const char16_t y = Plegar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

TFRec* EncontrarFR(const std::deque<std::unique_ptr<TFRec>>& L, const std::u16string& nombre) {
  // The leftmost of equal names: the first in list order.
  std::size_t lo = 0, hi = L.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (CompararNombres(L[mid]->ONombre, nombre) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < L.size() && CompararNombres(L[lo]->ONombre, nombre) == 0) return L[lo].get();
  return nullptr;
}

void OrdenarPorNombre(std::deque<std::unique_ptr<TFRec>>& L) {
  // Stable, so that of equal names the first in list order stays first.
  std::stable_sort(L.begin(), L.end(), [](const auto& a, const auto& b) {
    return CompararNombres(a->ONombre, b->ONombre) < 0;
  });
}

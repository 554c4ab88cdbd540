// Name order and the search of a record by name in a list sorted by it.
#include <gtest/gtest.h>

#include <algorithm>

#include "records/TFRec.h"

namespace {

int Signo(int v) { return (v > 0) - (v < 0); }

TEST(OrdenNombres, OnlyAsciiLettersFold) {
  const struct {
    std::u16string a, b;
    int orden;
  } casos[] = {
      {u"readme.txt", u"README.TXT", 0},
      {u"", u"", 0},
      {u"a", u"B", -1},
      // Folded to upper case, not lower: 'A' (0x41) comes before '_' (0x5F) and 'a' does too.
      {u"a", u"_", -1},
      {u"[", u"z", 1},  // '[' (0x5B) after 'Z' (0x5A)
      // An accented capital and its small letter are different names.
      {u"\u00C9.txt", u"\u00E9.txt", -1},
      {u"\u00E9", u"E", 1},
      // The shorter of a prefix pair first.
      {u"A", u"a\\b", -1},
      {u"", u"a", -1},
      // A folder's contents ('\' 0x5C) come after a sibling with a dot (0x2E) in its name.
      {u"A\\x", u"a.txt", 1},
      // UTF-16 code units, not code points: a surrogate (0xD83D) before U+FF21.
      {u"\U0001F600", u"\uFF21", -1},
  };
  for (const auto& c : casos) {
    EXPECT_EQ(Signo(CompararNombres(c.a, c.b)), c.orden)
        << std::string(c.a.begin(), c.a.end()) << " / " << std::string(c.b.begin(), c.b.end());
    EXPECT_EQ(Signo(CompararNombres(c.b, c.a)), -c.orden);
  }
}

std::deque<std::unique_ptr<TFRec>> Lista(std::initializer_list<std::u16string> nombres) {
  std::deque<std::unique_ptr<TFRec>> lista;
  for (const auto& nombre : nombres) {
    lista.push_back(std::make_unique<TFRec>());
    lista.back()->ONombre = nombre;
  }
  return lista;
}

std::vector<std::u16string> Nombres(const std::deque<std::unique_ptr<TFRec>>& lista) {
  std::vector<std::u16string> nombres;
  for (const auto& rec : lista) nombres.push_back(rec->ONombre);
  return nombres;
}

TEST(OrdenNombres, SortKeepsEqualNamesInListOrder) {
  auto lista = Lista({u"b.txt", u"A\\x", u"a.TXT", u"\u00E9", u"A", u"A.txt", u"E", u"a.txt"});
  OrdenarPorNombre(lista);
  EXPECT_EQ(Nombres(lista), (std::vector<std::u16string>{u"A", u"a.TXT", u"A.txt", u"a.txt",
                                                         u"A\\x", u"b.txt", u"E", u"\u00E9"}));
}

TEST(EncontrarFR, FindsEveryNameAndTheFirstOfEqualOnes) {
  std::deque<std::unique_ptr<TFRec>> vacia;
  EXPECT_EQ(EncontrarFR(vacia, u"a"), nullptr);

  // Every position of lists of many lengths, so that no bisection step misses one.
  for (int n = 1; n <= 40; ++n) {
    std::deque<std::unique_ptr<TFRec>> lista;
    for (int i = 0; i < n; ++i) {
      lista.push_back(std::make_unique<TFRec>());
      lista.back()->ONombre = u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    }
    for (int i = 0; i < n; ++i) {
      const std::u16string buscado = u"N" + std::u16string(1, static_cast<char16_t>(u'0' + i));
      EXPECT_EQ(EncontrarFR(lista, buscado), lista[i].get()) << n << " " << i;
    }
    EXPECT_EQ(EncontrarFR(lista, u"n"), nullptr);
    EXPECT_EQ(EncontrarFR(lista, u"n/"), nullptr);  // before the first
    EXPECT_EQ(EncontrarFR(lista, u"n~"), nullptr);  // after the last
  }

  auto iguales = Lista({u"a", u"B", u"b", u"B", u"c"});
  EXPECT_EQ(EncontrarFR(iguales, u"b"), iguales[1].get());
  auto acentos = Lista({u"\u00C9", u"\u00E9"});
  EXPECT_EQ(EncontrarFR(acentos, u"\u00E9"), acentos[1].get());
  EXPECT_EQ(EncontrarFR(acentos, u"E"), nullptr);
}

}  // namespace

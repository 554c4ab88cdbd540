// The checks of a copy list's records before anything is planned: names that could leave their
// volume, impossible sizes and counts.
#include "records/ArchivoLista.h"

#include <gtest/gtest.h>

namespace {

struct TRegistro {
  std::u16string origen, destino;
  std::int64_t talla = 1;
  std::vector<std::uint32_t> series = {0xE0};
};

std::string Registro(const TRegistro& r) {
  TFRec rec;
  rec.ONombre = r.origen;
  rec.Talla = r.talla;
  std::string bytes;
  rec.EscribirOrigen(bytes);
  EscribirCadena(bytes, r.destino);
  EscribirEntero(bytes, static_cast<std::int32_t>(r.series.size()));
  for (std::uint32_t serie : r.series) EscribirPalabra(bytes, serie);
  return bytes;
}

std::string Lista(std::int32_t cuenta, const std::vector<TRegistro>& registros) {
  std::string bytes;
  EscribirPalabra(bytes, 0xD0);
  EscribirEntero(bytes, cuenta);
  for (const auto& r : registros) bytes += Registro(r);
  return bytes;
}

TEST(NombreEnVolumenTest, OnlyPlainRelativeNamesStayInTheirVolume) {
  const std::u16string buenos[] = {u"a",   u"a.bin", u"Fotos\\Viaje\\a.bin", u"...",
                                   u"..a", u"a..",   u"C:",                 u"a b\\c d",
                                   u"\xD1o\xF1o", std::u16string(1, 0xDC80)};
  for (const std::u16string& bueno : buenos) {
    EXPECT_TRUE(NombreEnVolumen(bueno)) << std::string(bueno.begin(), bueno.end());
  }
  const std::u16string malos[] = {
      u"",
      u"..",
      u".",
      u"..\\..\\..\\etc\\hostname",
      u"Fotos\\..\\..\\x",
      u"Fotos\\.\\x",
      u"\\etc\\hostname",
      u"\\\\?\\C:\\x",
      u"Fotos\\",
      u"Fotos\\\\x",
      u"a/../../b",
      u"/etc/hostname",
      std::u16string(u"a\0b", 3),
      std::u16string(1, 0xD800),  // no byte form
  };
  for (const std::u16string& malo : malos) {
    EXPECT_FALSE(NombreEnVolumen(malo)) << std::string(malo.begin(), malo.end());
  }
}

TEST(LeerListaCopiaTest, RefusedRecordsAreCountedAndTheRestKept) {
  const TListaCopiaLeida lista = LeerListaCopia(Lista(
      6, {{u"uno", u"uno"},
          {u"..\\..\\..\\etc\\hostname", u"hostname"},
          {u"dos", u"..\\fuera"},
          {u"tres", u"tres", -1},
          {u"cuatro", u"cuatro", kTallaMaxima + 1},
          {u"cinco", u"cinco", kTallaMaxima}}));
  EXPECT_TRUE(lista.ConOrigen);
  EXPECT_EQ(lista.Origen, 0xD0u);
  EXPECT_FALSE(lista.Danada);
  EXPECT_EQ(lista.Rechazados, 4);
  ASSERT_EQ(lista.Registros.size(), 2u);
  EXPECT_EQ(lista.Registros[0].Rec.ONombre, u"uno");
  EXPECT_EQ(lista.Registros[0].Series, std::vector<std::uint32_t>{0xE0});
  EXPECT_TRUE(lista.Registros[0].Rec.DList.empty());
  EXPECT_EQ(lista.Registros[1].Rec.Talla, kTallaMaxima);
}

TEST(LeerListaCopiaTest, ImpossibleCountsAreNeverTrusted) {
  // A negative count: nothing is read.
  TListaCopiaLeida lista = LeerListaCopia(Lista(-1, {{u"uno", u"uno"}}));
  EXPECT_TRUE(lista.Danada);
  EXPECT_TRUE(lista.Registros.empty());
  // A count far beyond the bytes: the records there are kept, nothing is sized by the count.
  lista = LeerListaCopia(Lista(0x7FFFFFFF, {{u"uno", u"uno"}, {u"dos", u"dos"}}));
  EXPECT_TRUE(lista.Danada);
  EXPECT_EQ(lista.Registros.size(), 2u);
  // A record whose destination count is negative or larger than its bytes ends the reading.
  std::string bytes = Lista(3, {{u"uno", u"uno"}});
  TFRec rec;
  rec.ONombre = u"dos";
  rec.EscribirOrigen(bytes);
  EscribirCadena(bytes, u"dos");
  EscribirEntero(bytes, -5);
  bytes += Registro({u"tres", u"tres"});
  lista = LeerListaCopia(bytes);
  EXPECT_TRUE(lista.Danada);
  ASSERT_EQ(lista.Registros.size(), 1u);
  EXPECT_EQ(lista.Registros[0].Rec.ONombre, u"uno");
  // Too short for a serial and a count.
  EXPECT_FALSE(LeerListaCopia(std::string("\xD0\x00\x00", 3)).ConOrigen);
}

}  // namespace

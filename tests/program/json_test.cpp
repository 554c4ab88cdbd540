// The one JSON escaper and object writer of the program, the ISO dates and the names of the
// states, read back by a strict JSON reader.
#include <gtest/gtest.h>

#include <regex>

#include "app/FechaIso.h"
#include "app/Json.h"
#include "app/NombresEstado.h"
#include "app/UnidadJson.h"
#include "platform/paths.h"
#include "tests/support/json_prueba.h"

namespace {

using testing_support::LeerJson;
using testing_support::ValorJson;

// The text a JSON string reads back as.
std::u16string Releido(const std::string& json) {
  const auto valor = LeerJson(json);
  EXPECT_TRUE(valor.has_value()) << json;
  if (!valor || valor->tipo != ValorJson::Tipo::Texto) return u"<no string>";
  return valor->texto;
}

bool SoloAsciiImprimibleOUtf8Valido(const std::string& bytes) {
  // The strict reader checks UTF-8 inside strings; a string is all the text is.
  return LeerJson(bytes).has_value();
}

TEST(JsonTest, EscapesWhatJsonNeedsAndKeepsTheRestAsUtf8) {
  EXPECT_EQ(JsonTexto(u""), "\"\"");
  EXPECT_EQ(JsonTexto(u"a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonTexto(u"\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\"");
  EXPECT_EQ(JsonTexto(std::u16string(u"\0\x01\x1f\x7f", 4)), "\"\\u0000\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonTexto(u"\u2028\u2029"), "\"\\u2028\\u2029\"");
  EXPECT_EQ(JsonTexto(u"Ñandú €"), "\"\xC3\x91" "and\xC3\xBA \xE2\x82\xAC\"");
  // A pair is one character of four bytes.
  EXPECT_EQ(JsonTexto(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
  for (const std::u16string& texto :
       {std::u16string(u"a\"b\\c"), std::u16string(u"\u2028x\U0001F600y"),
        std::u16string(u"tab\there"), std::u16string(u"C:\\dir\\f.bin")}) {
    EXPECT_EQ(Releido(JsonTexto(texto)), texto);
  }
}

TEST(JsonTest, LoneSurrogatesAndNamesThatAreNotUtf8AreEscapedNeverWrittenAsBytes) {
  // A high surrogate at the end, a low one alone, a high one before a letter.
  const std::u16string solos = {0xD800, u'a', 0xDC80, 0xDBFF};
  const std::string json = JsonTexto(solos.substr(1) + std::u16string(1, 0xD83D) + u"b");
  EXPECT_EQ(json, "\"a\\udc80\\udbff\\ud83db\"");
  // A Linux name whose bytes are no UTF-8: each stray byte as U+DC80..U+DCFF, as
  // "surrogateescape" reads it.
  const std::string nombre = "foto\xFF\xC3(.jpg";
  const std::string escrito = JsonNombre(nombre);
  EXPECT_EQ(escrito, "\"foto\\udcff\\udcc3(.jpg\"");
  EXPECT_TRUE(SoloAsciiImprimibleOUtf8Valido(escrito));
  // Read back, it is the program's name of those bytes, which gives the bytes again.
  std::string bytes;
  ASSERT_TRUE(platform::EncodeName(Releido(escrito), &bytes));
  EXPECT_EQ(bytes, nombre);
  // A backslash in a Linux name is written as the backslash it is.
  EXPECT_EQ(JsonNombre("/media/a\\b/c"), "\"/media/a\\\\b/c\"");
  EXPECT_EQ(NombreConBarras(platform::DecodeName("dir") + u"\\" + platform::DecodeName("a\\b")),
            u"dir/a\\b");
}

TEST(JsonTest, AnObjectIsItsMembersInOrder) {
  EXPECT_EQ(TObjetoJson().Texto(), "{}");
  const std::string texto = TObjetoJson()
                                .Texto("t", u"x\"y")
                                .Nombre("n", "/media/\xFF")
                                .Ascii("a", "idle")
                                .Entero("e", -9007199254740993)
                                .Logico("l", true)
                                .Nulo("z")
                                .Json("o", "[1,{}]")
                                .Texto();
  EXPECT_EQ(texto,
            "{\"t\":\"x\\\"y\",\"n\":\"/media/\\udcff\",\"a\":\"idle\","
            "\"e\":-9007199254740993,\"l\":true,\"z\":null,\"o\":[1,{}]}");
  const auto valor = LeerJson(texto);
  ASSERT_TRUE(valor);
  EXPECT_EQ(valor->Entero("e"), -9007199254740993);
  EXPECT_TRUE(valor->Miembro("z")->EsNulo());
}

TEST(JsonTest, TheStrictReaderRefusesWhatIsNoJson) {
  for (const char* malo : {"", "{", "{\"a\":1,}", "[1,]", "01", "\"\x01\"", "\"\xFF\"",
                           "\"\xED\xA0\x80\"", "{\"a\" 1}", "nul", "1 2", "\"\\x\""}) {
    EXPECT_FALSE(LeerJson(malo).has_value()) << malo;
  }
}

TEST(JsonTest, DatesForMachinesAreIso8601WithTheOffset) {
  // Day counts since 30 December 1899, local time.
  EXPECT_EQ(FechaIso(42588), "2016-08-06");
  EXPECT_EQ(FechaIso(42588.99), "2016-08-06");
  const std::string mediodia = FechaHoraIso(25569.5);
  EXPECT_TRUE(std::regex_match(mediodia, std::regex(R"(1970-01-01T12:00:00[+-]\d\d:\d\d)")))
      << mediodia;
  EXPECT_TRUE(std::regex_match(FechaHoraIso(42588 + (10 * 3600 + 15 * 60 + 30) / 86400.0),
                               std::regex(R"(2016-08-06T10:15:30[+-]\d\d:\d\d)")));
  EXPECT_EQ(FechaHoraIso(1e300), "");
}

TEST(JsonTest, EveryStateHasItsNames) {
  const struct {
    TEstado estado;
    const char* json;
    const char16_t* texto;
  } casos[] = {
      {TEstado::Reposo, "idle", u"en reposo"},
      {TEstado::EnCola, "queued", u"en cola"},
      {TEstado::Escribiendo, "writing", u"escribiendo"},
      {TEstado::Sincronizando, "syncing", u"sincronizando"},
      {TEstado::Terminado, "done", u"terminado"},
      {TEstado::Fallido, "failed", u"fallido"},
      {TEstado::Quitado, "removed", u"quitado"},
  };
  for (const auto& c : casos) {
    EXPECT_STREQ(EstadoJson(c.estado), c.json);
    EXPECT_EQ(EstadoTexto(c.estado), c.texto);
  }
  EXPECT_EQ(SerieTexto(0xE0), "000000E0");
  EXPECT_EQ(SerieTexto(0xDEADBEEF), "DEADBEEF");
  EXPECT_EQ(NombreConBarras(u"Fotos\\Viaje\\a.bin"), u"Fotos/Viaje/a.bin");
}

}  // namespace

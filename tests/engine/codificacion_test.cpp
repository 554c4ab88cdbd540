// The encodings of the program's files: exact bytes, round trips, and readers fed bytes cut
// short or damaged.
#include "records/Codificacion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <random>

#include "records/Listado.h"
#include "records/TFRec.h"
#include "tests/support/loop_volume.h"
#include "tests/support/temp_folder.h"

namespace {

std::string Bytes(std::initializer_list<int> valores) {
  std::string bytes;
  for (int v : valores) bytes.push_back(static_cast<char>(v));
  return bytes;
}

std::string Cadena(const std::u16string& texto) {
  std::string bytes;
  EscribirCadena(bytes, texto);
  return bytes;
}

TEST(Codificacion, IntegersAreLittleEndianTwosComplement) {
  std::string bytes;
  EscribirEntero(bytes, 42563);
  EscribirEntero(bytes, -2);
  EscribirPalabra(bytes, 0xA1B2C3D4u);
  EscribirEntero64(bytes, 0x0102030405060708LL);
  EscribirEntero64(bytes, -1);
  EXPECT_EQ(bytes, Bytes({0x43, 0xA6, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xD4, 0xC3, 0xB2, 0xA1,
                          0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,
                          0xFF, 0xFF, 0xFF, 0xFF}));

  TLector lector(bytes);
  std::int32_t entero;
  std::uint32_t palabra;
  std::int64_t entero64;
  ASSERT_TRUE(lector.LeerEntero(&entero));
  EXPECT_EQ(entero, 42563);
  ASSERT_TRUE(lector.LeerEntero(&entero));
  EXPECT_EQ(entero, -2);
  ASSERT_TRUE(lector.LeerPalabra(&palabra));
  EXPECT_EQ(palabra, 0xA1B2C3D4u);
  ASSERT_TRUE(lector.LeerEntero64(&entero64));
  EXPECT_EQ(entero64, 0x0102030405060708LL);
  ASSERT_TRUE(lector.LeerEntero64(&entero64));
  EXPECT_EQ(entero64, -1);
  EXPECT_EQ(lector.Restante(), 0u);
  EXPECT_FALSE(lector.LeerEntero(&entero));
}

TEST(Codificacion, TextsAreACountOfCodeUnitsThenTheUnits) {
  const struct {
    std::u16string texto;
    std::string bytes;
  } casos[] = {
      {u"", Bytes({0, 0, 0, 0})},
      {u"ab", Bytes({2, 0, 0, 0, 0x61, 0, 0x62, 0})},
      {u"\u00E9", Bytes({1, 0, 0, 0, 0xE9, 0})},
      // Outside the Basic Multilingual Plane: two code units, the surrogate pair.
      {u"\U0001F600", Bytes({2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE})},
      // A lone surrogate (a Linux name byte without UTF-8 form) and a NUL go through as units.
      {std::u16string{u'\xDC80', u'\0'}, Bytes({2, 0, 0, 0, 0x80, 0xDC, 0, 0})},
  };
  for (const auto& c : casos) {
    EXPECT_EQ(Cadena(c.texto), c.bytes);
    TLector lector(c.bytes);
    std::u16string leido = u"previo";
    ASSERT_TRUE(LeerCadena(lector, &leido));
    EXPECT_EQ(leido, c.texto);
    EXPECT_EQ(lector.Restante(), 0u);
  }
}

// Every read of a field cut short fails, keeps the value it was given and leaves the reader
// where it was, so that its caller stops with what it had.
TEST(Codificacion, EveryCutOfATextFailsWithoutUsingIt) {
  const std::string entero = Cadena(u"Fotos\\Viaje");
  for (std::size_t corte = 0; corte < entero.size(); ++corte) {
    TLector lector(std::string_view(entero).substr(0, corte));
    std::u16string texto = u"previo";
    EXPECT_FALSE(LeerCadena(lector, &texto)) << corte;
    EXPECT_EQ(texto, u"previo");
    EXPECT_EQ(lector.Restante(), corte);
  }
  std::int32_t entero32 = 7;
  std::int64_t entero64 = 7;
  std::uint32_t palabra = 7;
  TLector corto(std::string_view("\x01\x02\x03\x04\x05\x06\x07", 7));
  EXPECT_FALSE(corto.LeerEntero64(&entero64));
  EXPECT_EQ(entero64, 7);
  ASSERT_TRUE(corto.LeerEntero(&entero32));
  EXPECT_FALSE(corto.LeerEntero(&entero32));
  EXPECT_FALSE(corto.LeerPalabra(&palabra));
  EXPECT_EQ(palabra, 7u);
  EXPECT_EQ(corto.Restante(), 3u);
}

TEST(Codificacion, NegativeOrOversizedCountsAreRefusedBeforeAllocating) {
  const struct {
    const char* caso;
    std::string bytes;
  } casos[] = {
      {"-1", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x61, 0})},
      {"INT32_MIN", Bytes({0x00, 0x00, 0x00, 0x80, 0x61, 0})},
      {"INT32_MAX", Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x61, 0, 0x62, 0})},
      {"one unit more than the bytes", Bytes({3, 0, 0, 0, 0x61, 0, 0x62, 0})},
      {"half a unit", Bytes({1, 0, 0, 0, 0x61})},
  };
  for (const auto& c : casos) {
    TLector lector(c.bytes);
    std::u16string texto;
    const std::size_t capacidad = texto.capacity();
    EXPECT_FALSE(LeerCadena(lector, &texto)) << c.caso;
    EXPECT_EQ(texto.capacity(), capacidad) << c.caso;
    EXPECT_EQ(lector.Restante(), c.bytes.size()) << c.caso;
  }
}

TFRec Ejemplo(const std::u16string& nombre, std::int64_t talla) {
  TFRec rec;
  rec.ONombre = nombre;
  rec.Talla = talla;
  rec.Tiempo = {0x01D7719A11223344ULL, 0x01D7719A55667788ULL, 0x01D7719A99AABBCCULL};
  rec.Atributos = platform::FILE_ATTRIBUTE_ARCHIVE;
  return rec;
}

TEST(Codificacion, TheSourcePartOfARecord) {
  std::string bytes;
  Ejemplo(u"ab", 0x0000000100000002LL).EscribirOrigen(bytes);
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(bytes, Bytes({2,    0,    0,    0,    0x61, 0,    0x62, 0,     // ONombre
                          2,    0,    0,    0,    1,    0,    0,    0,     // Talla
                          0x44, 0x33, 0x22, 0x11, 0x9A, 0x71, 0xD7, 0x01,  // CTiempo: low, high
                          0x88, 0x77, 0x66, 0x55, 0x9A, 0x71, 0xD7, 0x01,  // LTiempo
                          0xCC, 0xBB, 0xAA, 0x99, 0x9A, 0x71, 0xD7, 0x01,  // ETiempo
                          0x20, 0,    0,    0}));                          // Atributos

  // A name of L code units takes 40 + 2 L bytes, whatever the characters.
  std::string largo;
  Ejemplo(u"\U0001F600\u00E9", 0).EscribirOrigen(largo);
  EXPECT_EQ(largo.size(), 40u + 2 * 3);
}

TEST(Codificacion, LeerOrigenGivesBackTheSourcePartOnly) {
  std::string bytes;
  const TFRec escrito = Ejemplo(u"Fotos\\Viaje\\a.jpg", -5);
  escrito.EscribirOrigen(bytes);

  TFRec leido;
  leido.DNombre = u"Viaje\\a.jpg";
  leido.DList = {16};
  TLector lector(bytes);
  ASSERT_TRUE(leido.LeerOrigen(lector));
  EXPECT_EQ(lector.Restante(), 0u);
  EXPECT_EQ(leido.ONombre, escrito.ONombre);
  EXPECT_EQ(leido.Talla, escrito.Talla);
  EXPECT_EQ(leido.Tiempo.CTiempo, escrito.Tiempo.CTiempo);
  EXPECT_EQ(leido.Tiempo.LTiempo, escrito.Tiempo.LTiempo);
  EXPECT_EQ(leido.Tiempo.ETiempo, escrito.Tiempo.ETiempo);
  EXPECT_EQ(leido.Atributos, escrito.Atributos);
  EXPECT_EQ(leido.DNombre, u"Viaje\\a.jpg");
  EXPECT_EQ(leido.DList, std::vector<TIdDestino>{16});

  // Cut anywhere, the record keeps every field it had.
  for (std::size_t corte = 0; corte < bytes.size(); ++corte) {
    TFRec previo = Ejemplo(u"previo", 99);
    TLector cortado(std::string_view(bytes).substr(0, corte));
    EXPECT_FALSE(previo.LeerOrigen(cortado)) << corte;
    EXPECT_EQ(previo.ONombre, u"previo") << corte;
    EXPECT_EQ(previo.Talla, 99) << corte;
    EXPECT_EQ(previo.Tiempo.ETiempo, Ejemplo(u"", 0).Tiempo.ETiempo) << corte;
  }
}

// A listing of three records as the program writes one.
std::string Listado(std::int32_t version, std::int32_t N, const std::vector<TFRec>& recs) {
  std::string bytes;
  EscribirEntero(bytes, version);
  EscribirEntero(bytes, N);
  for (const TFRec& rec : recs) rec.EscribirOrigen(bytes);
  return bytes;
}

constexpr std::int32_t kVersion = 42563;

const std::vector<TFRec>& TresRegistros() {
  static const std::vector<TFRec> recs = {Ejemplo(u"A", 0), Ejemplo(u"A\\b.txt", 10),
                                          Ejemplo(u"c", 1 << 20)};
  return recs;
}

void EsperarPrefijo(const std::deque<std::unique_ptr<TFRec>>& leidos, std::size_t cuantos,
                    const std::string& caso) {
  ASSERT_EQ(leidos.size(), cuantos) << caso;
  for (std::size_t i = 0; i < cuantos; ++i) {
    EXPECT_EQ(leidos[i]->ONombre, TresRegistros()[i].ONombre) << caso;
    EXPECT_EQ(leidos[i]->Talla, TresRegistros()[i].Talla) << caso;
    EXPECT_EQ(leidos[i]->Atributos, TresRegistros()[i].Atributos) << caso;
    EXPECT_TRUE(leidos[i]->DNombre.empty()) << caso;
    EXPECT_TRUE(leidos[i]->DList.empty()) << caso;
  }
}

TEST(ListadoBytes, HeaderDecidesWhatIsRead) {
  const auto& recs = TresRegistros();
  const struct {
    const char* caso;
    std::string bytes;
    std::size_t leidos;
  } casos[] = {
      {"whole", Listado(kVersion, 3, recs), 3},
      {"another version", Listado(kVersion - 1, 3, recs), 0},
      {"negative count", Listado(kVersion, -1, recs), 0},
      {"count below the records", Listado(kVersion, 2, recs), 2},
      {"count above the records", Listado(kVersion, 1000000, recs), 3},
      {"empty file", "", 0},
      {"version only", Listado(kVersion, 0, {}).substr(0, 4), 0},
  };
  for (const auto& c : casos) {
    EsperarPrefijo(LeerListadoBytes(c.bytes, kVersion), c.leidos, c.caso);
  }
}

// Cut at any byte, a listing gives exactly the records that end before the cut.
TEST(ListadoBytes, EveryTruncationKeepsTheWholeRecordsBeforeIt) {
  const std::string bytes = Listado(kVersion, 3, TresRegistros());
  std::vector<std::size_t> finales;
  std::size_t fin = 8;
  for (const TFRec& rec : TresRegistros()) {
    fin += 40 + 2 * rec.ONombre.size();
    finales.push_back(fin);
  }
  ASSERT_EQ(fin, bytes.size());
  for (std::size_t corte = 0; corte <= bytes.size(); ++corte) {
    const std::size_t completos =
        std::count_if(finales.begin(), finales.end(), [&](std::size_t f) { return f <= corte; });
    EsperarPrefijo(LeerListadoBytes(std::string_view(bytes).substr(0, corte), kVersion),
                   completos, "cut at " + std::to_string(corte));
  }
}

// Damage anywhere: the reader ends without a crash and never yields more records than the
// bytes can hold. The sanitizer builds make this a memory check too.
TEST(ListadoBytes, RandomDamageIsReadSafely) {
  const std::string original = Listado(kVersion, 3, TresRegistros());
  std::mt19937 azar(20240607);
  for (int vuelta = 0; vuelta < 2000; ++vuelta) {
    std::string bytes = original;
    const int danos = 1 + static_cast<int>(azar() % 4);
    for (int d = 0; d < danos; ++d) {
      bytes[azar() % bytes.size()] = static_cast<char>(azar());
    }
    const auto leidos = LeerListadoBytes(bytes, kVersion);
    EXPECT_LE(leidos.size() * 40, bytes.size());
  }
}

TEST(ArchivoCompleto, RoundTripOfBytesWithNuls) {
  testing_support::TempFolder carpeta;
  const std::string ruta = carpeta.path() + "/datos.bin";
  std::string bytes = Bytes({0, 1, 0, 0xFF});
  bytes += std::string(200000, '\x5A');  // more than one read block
  ASSERT_TRUE(EscribirArchivoCompleto(ruta, bytes));
  std::string leido = "previo";
  ASSERT_TRUE(LeerArchivoCompleto(ruta, &leido));
  EXPECT_EQ(leido, bytes);
  // Writing again replaces the whole file.
  ASSERT_TRUE(EscribirArchivoCompleto(ruta, "ab"));
  ASSERT_TRUE(LeerArchivoCompleto(ruta, &leido));
  EXPECT_EQ(leido, "ab");
  ASSERT_TRUE(EscribirArchivoCompleto(ruta, ""));
  ASSERT_TRUE(LeerArchivoCompleto(ruta, &leido));
  EXPECT_EQ(leido, "");
}

TEST(ArchivoCompleto, FailuresAreReported) {
  testing_support::TempFolder carpeta;
  std::string leido = "previo";
  EXPECT_FALSE(LeerArchivoCompleto(carpeta.path() + "/falta.bin", &leido));
  EXPECT_FALSE(LeerArchivoCompleto(carpeta.path(), &leido));  // a folder
  EXPECT_EQ(leido, "previo");
  EXPECT_FALSE(EscribirArchivoCompleto(carpeta.path() + "/falta/x.bin", "ab"));
  EXPECT_FALSE(EscribirArchivoCompleto(carpeta.path(), "ab"));
}

TEST(ArchivoCompleto, AFullVolumeFailsTheWrite) {
  if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
  testing_support::LoopVolume::Options opciones;
  opciones.size_bytes = 16 << 20;
  testing_support::LoopVolume volumen(opciones);
  ASSERT_TRUE(volumen.ok()) << volumen.error();
  EXPECT_FALSE(EscribirArchivoCompleto(volumen.mount_point() + "/grande.bin",
                                       std::string(32 << 20, 'x')));
}

}  // namespace

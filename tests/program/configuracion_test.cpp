// The settings: their clamps, the HTTP server they drive (reached with a real client), and the
// settings file, byte for byte and damaged in every way a test can think of.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "app/TallaStr.h"
#include "records/Codificacion.h"
#include "app/TPrograma.h"
#include "tests/support/scoped_drives.h"
#include "tests/support/servidor_local.h"
#include "tests/support/temp_folder.h"
#include "tests/support/vista_simple.h"

namespace {

using testing_support::Cliente;
using testing_support::SocketLocal;

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int32_t kVersion = 42563;

std::string Leer(const std::string& ruta) {
  std::ifstream archivo(ruta, std::ios::binary);
  return {std::istreambuf_iterator<char>(archivo), std::istreambuf_iterator<char>()};
}

void Escribir(const std::string& ruta, const std::string& bytes) {
  std::ofstream(ruta, std::ios::binary | std::ios::trunc) << bytes;
}

// A settings file as the program writes it.
std::string Archivo(std::int32_t version, const std::array<platform::Color, 3>& colores,
                    const std::vector<std::u16string>& textos) {
  std::string bytes;
  EscribirEntero(bytes, version);
  for (platform::Color color : colores) EscribirPalabra(bytes, color);
  for (const auto& texto : textos) EscribirCadena(bytes, texto);
  return bytes;
}

// A port nobody listens on right now.
std::uint16_t PuertoLibre() {
  SocketLocal libre;
  return libre.Puerto();
}

bool Responde(std::uint16_t puerto) {
  auto cliente = Cliente(puerto);
  cliente.set_connection_timeout(2);
  const auto respuesta = cliente.Get("/");
  return respuesta && respuesta->status == 200;
}

const std::array<platform::Color, 3> kColoresIniciales = {
    platform::Rgb(255, 160, 128), platform::Rgb(0, 210, 210), platform::Rgb(210, 0, 210)};
const std::array<platform::Color, 3> kOtrosColores = {
    platform::Rgb(1, 2, 3), platform::Rgb(4, 5, 6), 0x02070809u};

class ConfiguracionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(carpeta.ok());
    programa.RutaConfiguracion = ruta;
    programa.FormCreate();
    // Every test runs on a machine of 8 GiB.
    Memoria(8 * kGiB);
  }
  void TearDown() override { programa.FormDestroy(); }

  void Memoria(std::int64_t total) {
    programa.Entorno->MemoriaTotal = total;
    programa.LeerConfiguracion();
  }
  // Reads `bytes` as the settings file.
  void Cargar(const std::string& bytes) {
    Escribir(ruta, bytes);
    programa.LeerConfiguracion();
  }
  std::array<platform::Color, 3> Colores() const {
    const TColores& e = programa.Colores;
    return {e.ColorOrigen.load(), e.ColorDestino.load(), e.ColorError.load()};
  }
  using Valores = std::array<std::u16string, 7>;

  testing_support::ScopedFakeDrives unidades;
  testing_support::TempFolder carpeta;
  const std::string ruta = carpeta.path() + "/Orsanta.cfg";
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(ConfiguracionTest, DefaultsAreWrittenByteForByte) {
  // Not rounded to whole GiB until a file has been read back.
  EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), 8 * kGiB * 3 / 10);
  EXPECT_EQ(programa.Entorno->TiempoError.load(), 15000u);
  EXPECT_TRUE(programa.UsarCaminoOrigen);
  EXPECT_FALSE(programa.IdHTTPServer->Active());
  EXPECT_EQ(programa.IdHTTPServer->Port(), 80);
  EXPECT_EQ(Colores(), kColoresIniciales);
  EXPECT_EQ(programa.Valores, (Valores{u"2", u"15", u"Si", u"80", u"No", u"Si", u"Si"}));

  programa.GuardarConfiguracion();
  const std::string esperado(
      "\x43\xA6\x00\x00"
      "\xFF\xA0\x80\x00"
      "\x00\xD2\xD2\x00"
      "\xD2\x00\xD2\x00"
      "\x01\x00\x00\x00" "2\x00"
      "\x02\x00\x00\x00" "1\x00" "5\x00"
      "\x02\x00\x00\x00" "S\x00" "i\x00"
      "\x02\x00\x00\x00" "8\x00" "0\x00"
      "\x02\x00\x00\x00" "N\x00" "o\x00",
      16 + 6 + 8 + 8 + 8 + 8);
  EXPECT_EQ(Leer(ruta), esperado);

  programa.LeerConfiguracion();
  EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), 2 * kGiB);
}

TEST_F(ConfiguracionTest, AFileRunsThroughEveryRowAndTheServer) {
  const std::uint16_t puerto = PuertoLibre();
  ASSERT_NE(puerto, 0);
  const std::u16string texto_puerto = u"0" + EnteroStr(puerto);
  Cargar(Archivo(kVersion, kOtrosColores, {u"3", u"5000", u"No", texto_puerto, u"Si"}));

  EXPECT_EQ(Colores(), kOtrosColores);
  EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), 3 * kGiB);
  EXPECT_EQ(programa.Entorno->TiempoError.load(), 3600000u);
  EXPECT_FALSE(programa.UsarCaminoOrigen);
  EXPECT_TRUE(programa.IdHTTPServer->Active());
  EXPECT_EQ(programa.IdHTTPServer->Port(), puerto);
  EXPECT_TRUE(Responde(puerto));
  // Shown as the settings are, the leading zero of the port gone.
  EXPECT_EQ(programa.Valores[1], u"3600");
  EXPECT_EQ(programa.Valores[3], texto_puerto.substr(1));
  EXPECT_EQ(programa.Valores[4], u"Si");
}

TEST_F(ConfiguracionTest, AFrontEndThatServesNoStatusNeverStartsTheServer) {
  const std::uint16_t puerto = PuertoLibre();
  ASSERT_NE(puerto, 0);
  programa.ConServidorEstado = false;
  Cargar(Archivo(kVersion, kOtrosColores, {u"3", u"5", u"No", EnteroStr(puerto), u"Si"}));
  EXPECT_FALSE(programa.IdHTTPServer->Active());
  EXPECT_FALSE(Responde(puerto));
  EXPECT_EQ(programa.IdHTTPServer->Port(), puerto);
  EXPECT_TRUE(programa.ValidarVariable(5, u"Si"));
  EXPECT_FALSE(programa.IdHTTPServer->Active());
}

struct TCasoValor {
  const char* nombre;
  int fila;
  std::int64_t memoria_total;
  std::u16string texto;
  bool es_numero;
  std::u16string mostrado;
  std::int64_t valor;  // MemoriaLibre in bytes (row 1) or TiempoError in ms (row 2)
};

class ValoresTest : public ConfiguracionTest,
                    public ::testing::WithParamInterface<TCasoValor> {};

TEST_P(ValoresTest, AreClampedAppliedAndShown) {
  const TCasoValor& c = GetParam();
  Memoria(c.memoria_total);
  EXPECT_EQ(programa.ValidarVariable(c.fila, c.texto), c.es_numero);
  EXPECT_EQ(programa.Valores[c.fila - 1], c.mostrado);
  if (c.fila == 1) {
    EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), c.valor);
  } else {
    EXPECT_EQ(programa.Entorno->TiempoError.load(), c.valor);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filas, ValoresTest,
    ::testing::Values(
        TCasoValor{"memoria_cero", 1, 8 * kGiB, u"0", true, u"1", kGiB},
        TCasoValor{"memoria_negativa", 1, 8 * kGiB, u"-5", true, u"1", kGiB},
        TCasoValor{"memoria_valida", 1, 8 * kGiB, u"3", true, u"3", 3 * kGiB},
        TCasoValor{"memoria_con_espacios", 1, 8 * kGiB, u" 4 ", true, u"4", 4 * kGiB},
        TCasoValor{"memoria_con_signo", 1, 8 * kGiB, u"+6", true, u"6", 6 * kGiB},
        TCasoValor{"memoria_igual_al_total", 1, 8 * kGiB, u"8", true, u"7", 7 * kGiB},
        TCasoValor{"memoria_sobre_el_total", 1, 8 * kGiB, u"999", true, u"7", 7 * kGiB},
        TCasoValor{"memoria_total_fraccionaria", 1, 8 * kGiB + kGiB / 2, u"8", true, u"7",
                   7 * kGiB},
        TCasoValor{"maquina_de_menos_de_2_GiB", 1, kGiB + kGiB / 2, u"1", true, u"1", kGiB},
        TCasoValor{"maquina_de_menos_de_2_GiB_pide_mas", 1, kGiB * 19 / 10, u"5", true, u"1",
                   kGiB},
        TCasoValor{"memoria_no_numero", 1, 8 * kGiB, u"4x", false, u"2", 8 * kGiB * 3 / 10},
        TCasoValor{"memoria_desborda", 1, 8 * kGiB, u"99999999999999999999", false, u"2",
                   8 * kGiB * 3 / 10},
        TCasoValor{"memoria_solo_espacios", 1, 8 * kGiB, u"   ", true, u"2", 8 * kGiB * 3 / 10},
        TCasoValor{"espera_cero", 2, 8 * kGiB, u"0", true, u"1", 1000},
        TCasoValor{"espera_negativa", 2, 8 * kGiB, u"-1", true, u"1", 1000},
        TCasoValor{"espera_valida", 2, 8 * kGiB, u"30", true, u"30", 30000},
        TCasoValor{"espera_maxima", 2, 8 * kGiB, u"3600", true, u"3600", 3600000},
        TCasoValor{"espera_excesiva", 2, 8 * kGiB, u"5000", true, u"3600", 3600000},
        TCasoValor{"espera_signo_doble", 2, 8 * kGiB, u"+-3", false, u"15", 15000},
        TCasoValor{"espera_no_numero", 2, 8 * kGiB, u"Si", false, u"15", 15000}),
    [](const auto& info) { return std::string(info.param.nombre); });

TEST_F(ConfiguracionTest, YesNoRowsTakeExactlySi) {
  const struct {
    std::u16string texto, mostrado;
    bool si;
  } casos[] = {{u"No", u"No", false}, {u"Si", u"Si", true}, {u"si", u"si", false},
               {u"SI", u"SI", false}, {u"S i", u"Si", true}, {u"Sí", u"Sí", false}};
  for (const auto& c : casos) {
    SCOPED_TRACE(std::string(c.texto.begin(), c.texto.end()));
    EXPECT_TRUE(programa.ValidarVariable(3, c.texto));
    EXPECT_EQ(programa.UsarCaminoOrigen, c.si);
    EXPECT_EQ(programa.Valores[2], c.mostrado);
  }
  // Other rows do nothing.
  const auto antes = programa.Valores;
  EXPECT_TRUE(programa.ValidarVariable(0, u"5"));
  EXPECT_TRUE(programa.ValidarVariable(8, u"5"));
  EXPECT_EQ(programa.Valores, antes);
}

TEST_F(ConfiguracionTest, APortOutsideItsRangeChangesNothing) {
  for (const std::u16string texto : {u"0", u"70000", u"65536", u"-80"}) {
    SCOPED_TRACE(std::string(texto.begin(), texto.end()));
    programa.Valores[3] = texto;  // as typed into the editor
    EXPECT_TRUE(programa.ValidarVariable(4, texto));
    EXPECT_EQ(programa.IdHTTPServer->Port(), 80);
    EXPECT_EQ(programa.Valores[3], u"80");
    EXPECT_EQ(programa.Valores[4], u"No");
  }
  EXPECT_FALSE(programa.ValidarVariable(4, u"puerto"));
  EXPECT_EQ(programa.Valores[3], u"80");
  // Inactive, a new port is only taken.
  EXPECT_TRUE(programa.ValidarVariable(4, u"65535"));
  EXPECT_EQ(programa.IdHTTPServer->Port(), 65535);
  EXPECT_FALSE(programa.IdHTTPServer->Active());
}

TEST_F(ConfiguracionTest, APortChangeWhileActiveRestartsTheServerThere) {
  const std::uint16_t primero = PuertoLibre();
  ASSERT_NE(primero, 0);
  programa.ValidarVariable(4, EnteroStr(primero));
  programa.ValidarVariable(5, u"Si");
  ASSERT_TRUE(programa.IdHTTPServer->Active());
  ASSERT_TRUE(Responde(primero));

  const std::uint16_t segundo = PuertoLibre();
  ASSERT_NE(segundo, 0);
  programa.ValidarVariable(4, EnteroStr(segundo));
  EXPECT_TRUE(programa.IdHTTPServer->Active());
  EXPECT_EQ(programa.Valores[3], EnteroStr(segundo));
  EXPECT_EQ(programa.Valores[4], u"Si");
  EXPECT_TRUE(Responde(segundo));
  EXPECT_FALSE(Responde(primero));

  programa.ValidarVariable(5, u"No");
  EXPECT_FALSE(programa.IdHTTPServer->Active());
  EXPECT_FALSE(Responde(segundo));
}

TEST_F(ConfiguracionTest, ATakenPortLeavesTheServerInactive) {
  const std::uint16_t libre = PuertoLibre();
  ASSERT_NE(libre, 0);
  programa.ValidarVariable(4, EnteroStr(libre));
  programa.ValidarVariable(5, u"Si");
  ASSERT_TRUE(programa.IdHTTPServer->Active());

  auto ocupado = std::make_unique<SocketLocal>();
  const std::uint16_t puerto = ocupado->Puerto();
  ASSERT_NE(puerto, 0);
  programa.ValidarVariable(4, EnteroStr(puerto));
  EXPECT_FALSE(programa.IdHTTPServer->Active());
  EXPECT_EQ(programa.IdHTTPServer->Port(), puerto);
  EXPECT_EQ(programa.Valores[4], u"No");

  // "Si" on a taken port: still inactive, and the row keeps the choice, which is saved and
  // tried again at the next start.
  EXPECT_TRUE(programa.ValidarVariable(5, u"Si"));
  EXPECT_FALSE(programa.IdHTTPServer->Active());
  EXPECT_EQ(programa.Valores[4], u"Si");
  programa.GuardarConfiguracion();
  ocupado.reset();
  TPrograma siguiente(vista);
  siguiente.RutaConfiguracion = ruta;
  siguiente.FormCreate();
  EXPECT_TRUE(siguiente.IdHTTPServer->Active());
  EXPECT_EQ(siguiente.Valores[4], u"Si");
  EXPECT_TRUE(Responde(puerto));
}

TEST_F(ConfiguracionTest, AFileOfAnotherVersionIsIgnoredEntirely) {
  Cargar(Archivo(kVersion - 1, kOtrosColores, {u"3", u"60", u"No", u"81", u"No"}));
  EXPECT_EQ(Colores(), kColoresIniciales);
  EXPECT_EQ(programa.Valores, (Valores{u"2", u"15", u"Si", u"80", u"No", u"Si", u"Si"}));
  EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), 8 * kGiB * 3 / 10);
}

// The first value that is not a number, or cannot be read whole, ends the reading: those
// before it stay applied, those after keep their defaults.
TEST_F(ConfiguracionTest, ReadingEndsAtTheFirstBadValue) {
  std::string cuenta_enorme = Archivo(kVersion, kOtrosColores, {u"3"});
  EscribirEntero(cuenta_enorme, 0x7FFFFFFF);
  cuenta_enorme += "6\0";
  std::string cuenta_negativa = Archivo(kVersion, kOtrosColores, {u"3"});
  EscribirEntero(cuenta_negativa, -1);
  const struct {
    const char* nombre;
    std::string bytes;
  } casos[] = {
      {"no es numero", Archivo(kVersion, kOtrosColores, {u"3", u"1a", u"No", u"81", u"Si"})},
      {"cuenta enorme", cuenta_enorme},
      {"cuenta negativa", cuenta_negativa},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    Cargar(c.bytes);
    EXPECT_EQ(Colores(), kOtrosColores);
    EXPECT_EQ(programa.Valores, (Valores{u"3", u"15", u"Si", u"80", u"No", u"Si", u"Si"}));
    EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), 3 * kGiB);
    EXPECT_EQ(programa.Entorno->TiempoError.load(), 15000u);
    EXPECT_TRUE(programa.UsarCaminoOrigen);
  }
}

// What start-up shows must always be settings in their ranges, as shown.
void ComprobarSensato(const TPrograma& P) {
  const std::int64_t libre = P.Entorno->MemoriaLibre.load();
  EXPECT_GE(libre, kGiB);
  EXPECT_LT(libre, 8 * kGiB);
  EXPECT_GE(P.Entorno->TiempoError.load(), 1000u);
  EXPECT_LE(P.Entorno->TiempoError.load(), 3600000u);
  EXPECT_GE(P.IdHTTPServer->Port(), 1);
  EXPECT_EQ(P.Valores[0], EnteroStr(libre / kGiB));
  EXPECT_EQ(P.Valores[1], EnteroStr(P.Entorno->TiempoError.load() / 1000));
  EXPECT_EQ(P.Valores[2], P.UsarCaminoOrigen ? u"Si" : u"No");
  EXPECT_EQ(P.Valores[3], EnteroStr(P.IdHTTPServer->Port()));
  EXPECT_EQ(P.Valores[4], P.IdHTTPServer->Active() ? u"Si" : u"No");
}

TEST_F(ConfiguracionTest, EveryTruncationKeepsWhatCameBeforeTheCut) {
  const std::vector<std::u16string> textos = {u"3", u"60", u"No", u"8081", u"No"};
  const std::string completo = Archivo(kVersion, kOtrosColores, textos);
  // Where each colour and each text ends.
  std::vector<std::size_t> fines = {8, 12, 16};
  for (const auto& texto : textos) fines.push_back(fines.back() + 4 + 2 * texto.size());
  ASSERT_EQ(fines.back(), completo.size());

  for (std::size_t largo = 0; largo < completo.size(); ++largo) {
    SCOPED_TRACE(largo);
    Cargar(completo.substr(0, largo));
    ComprobarSensato(programa);
    const auto entero = [&](std::size_t i) { return largo >= fines[i]; };
    const auto colores = Colores();
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(colores[i], entero(i) ? kOtrosColores[i] : kColoresIniciales[i]);
    }
    EXPECT_EQ(programa.Entorno->MemoriaLibre.load(), entero(3) ? 3 * kGiB : 8 * kGiB * 3 / 10);
    EXPECT_EQ(programa.Entorno->TiempoError.load(), entero(4) ? 60000u : 15000u);
    EXPECT_EQ(programa.UsarCaminoOrigen, !entero(5));
    EXPECT_EQ(programa.IdHTTPServer->Port(), entero(6) ? 8081 : 80);
  }
}

TEST_F(ConfiguracionTest, RandomDamageStartsWithSaneValues) {
  const std::string completo =
      Archivo(kVersion, kOtrosColores, {u"3", u"60", u"No", u"8081", u"No"});
  std::mt19937 azar(20160806);
  for (int vuelta = 0; vuelta < 500; ++vuelta) {
    std::string bytes = completo;
    const int cambios = 1 + static_cast<int>(azar() % 3);
    for (int i = 0; i < cambios; ++i) bytes[azar() % bytes.size()] = static_cast<char>(azar());
    if (azar() % 2 == 0) bytes.resize(azar() % (bytes.size() + 1));
    SCOPED_TRACE(vuelta);
    Cargar(bytes);
    ComprobarSensato(programa);
  }
}

TEST_F(ConfiguracionTest, ShutDownSavesAndTheNextStartReadsBack) {
  programa.ValidarVariable(2, u"60");
  programa.ValidarVariable(3, u"No");
  programa.Colores.ColorError = platform::Rgb(9, 8, 7);
  programa.FormDestroy();

  TPrograma siguiente(vista);
  siguiente.RutaConfiguracion = ruta;
  siguiente.FormCreate();
  EXPECT_EQ(siguiente.Entorno->TiempoError.load(), 60000u);
  EXPECT_FALSE(siguiente.UsarCaminoOrigen);
  EXPECT_EQ(siguiente.Colores.ColorError.load(), platform::Rgb(9, 8, 7));
  siguiente.FormDestroy();
}

// The read-back and the manifest are kept beside the settings file, whose layout stays as it
// is; a start without that file, or with lines it cannot take, has them on.
TEST_F(ConfiguracionTest, VerificationSettingsLiveInAFileOfTheirOwn) {
  EXPECT_TRUE(programa.Entorno->Verificar.load());
  EXPECT_TRUE(programa.Entorno->Manifiesto.load());
  // Rows 6 and 7 of the editor set them and show them.
  EXPECT_TRUE(programa.ValidarVariable(6, u" No "));
  EXPECT_FALSE(programa.Entorno->Verificar.load());
  EXPECT_EQ(programa.Valores[5], u"No");
  EXPECT_EQ(programa.Valores[6], u"Si");
  programa.GuardarConfiguracion();
  const std::string ajustes = ruta + ".verificacion";
  EXPECT_EQ(Leer(ajustes), "verificar=No\nmanifiesto=Si\n");
  EXPECT_EQ(Leer(ruta).size(), 16u + 6 + 8 + 8 + 8 + 8);

  const struct {
    const char* texto;
    bool verificar;
    bool manifiesto;
  } casos[] = {
      {"verificar=No\nmanifiesto=No\n", false, false},
      {"manifiesto=No", true, false},
      {"verificar=no\nmanifiesto=quizas\nbasura\n=Si\n", true, true},
      {"", true, true},
  };
  for (const auto& caso : casos) {
    Escribir(ajustes, caso.texto);
    programa.LeerConfiguracion();
    EXPECT_EQ(programa.Entorno->Verificar.load(), caso.verificar) << caso.texto;
    EXPECT_EQ(programa.Entorno->Manifiesto.load(), caso.manifiesto) << caso.texto;
    EXPECT_EQ(programa.Valores[6], caso.manifiesto ? u"Si" : u"No") << caso.texto;
  }
  std::filesystem::remove(ajustes);
  programa.Entorno->Verificar = false;
  programa.LeerConfiguracion();
  EXPECT_TRUE(programa.Entorno->Verificar.load());
}

TEST(ConfiguracionInicial, TheSettingsFileLiesBesideTheProgram) {
  testing_support::ScopedFakeDrives unidades;
  testing_support::TempFolder carpeta;
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.FormCreate();
  const auto programa_ejecutable = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(programa.RutaConfiguracion,
            (programa_ejecutable.parent_path() / "Orsanta.cfg").string());
  // Shut-down writes elsewhere, so that tests leave no settings beside the test program.
  programa.RutaConfiguracion = carpeta.path() + "/Orsanta.cfg";
  programa.FormDestroy();
}

// An installed program keeps its settings in the user's configuration folder; a portable copy
// keeps them beside itself.
TEST(ConfiguracionInicial, WhereTheSettingsFileLies) {
  testing_support::TempFolder carpeta;
  const std::string portable = carpeta.path() + "/portable";
  const std::string con_archivo = carpeta.path() + "/con_archivo";
  std::filesystem::create_directories(portable);
  std::filesystem::create_directories(con_archivo);
  Escribir(con_archivo + "/Orsanta.cfg", "x");
  const std::string casa = carpeta.path() + "/casa";
  const struct {
    std::string programa;
    const char* xdg;
    const char* home;
    std::string esperado;
  } casos[] = {
      {portable, nullptr, casa.c_str(), portable + "/Orsanta.cfg"},
      {con_archivo, nullptr, casa.c_str(), con_archivo + "/Orsanta.cfg"},
      {"/usr/bin", nullptr, casa.c_str(), casa + "/.config/orsanta/Orsanta.cfg"},
      {"/usr/bin", "/xdg/conf", casa.c_str(), "/xdg/conf/orsanta/Orsanta.cfg"},
      // A relative XDG_CONFIG_HOME is to be ignored.
      {"/usr/local/bin", "conf", casa.c_str(), casa + "/.config/orsanta/Orsanta.cfg"},
      {"/opt/orsanta/bin", nullptr, nullptr, ""},
      {carpeta.path() + "/no/existe", nullptr, casa.c_str(), casa + "/.config/orsanta/Orsanta.cfg"},
  };
  for (const auto& caso : casos) {
    EXPECT_EQ(RutaConfiguracionPara(caso.programa, caso.xdg, caso.home), caso.esperado)
        << caso.programa;
  }
}

// Shut-down makes the user's configuration folder when it is not there yet, for the user alone,
// and the next start reads the settings back from it.
TEST(ConfiguracionInicial, TheUsersFolderIsMadeOnSaving) {
  testing_support::ScopedFakeDrives unidades;
  testing_support::TempFolder carpeta;
  const std::string ruta = carpeta.path() + "/.config/orsanta/Orsanta.cfg";
  {
    testing_support::VistaSimple vista;
    TPrograma programa(vista);
    programa.RutaConfiguracion = ruta;
    programa.FormCreate();
    programa.Colores.ColorDestino = platform::Rgb(1, 2, 3);
    programa.FormDestroy();
  }
  ASSERT_TRUE(std::filesystem::exists(ruta));
  EXPECT_EQ(std::filesystem::status(carpeta.path() + "/.config/orsanta").permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  testing_support::VistaSimple vista;
  TPrograma siguiente(vista);
  siguiente.RutaConfiguracion = ruta;
  siguiente.FormCreate();
  EXPECT_EQ(siguiente.Colores.ColorDestino.load(), platform::Rgb(1, 2, 3));
  siguiente.FormDestroy();
}

}  // namespace

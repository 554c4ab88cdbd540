// The status page: its exact text, its icons, and its service over HTTP while drives come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "app/FechaIso.h"
#include "app/LineaDispositivo.h"
#include "app/TPrograma.h"
#include "app/TextoError.h"
#include "web/Base64.h"
#include "web/EstadoJson.h"
#include "web/PaginaWeb.h"
#include "platform/drives.h"
#include "platform/latin1.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "tests/support/hilos_prueba.h"
#include "tests/support/json_prueba.h"
#include "tests/support/servidor_local.h"
#include "tests/support/temp_folder.h"
#include "tests/support/vista_simple.h"

namespace {

using testing_support::Esperar;

constexpr char kRutaPrograma[] = "/opt/orsanta/orsanta";

// The page as it must be, given its drive lines and the date it shows, and the reload element
// when it has one. The time format of the tests is a fixed text, so that a page can be
// compared whole.
std::u16string Pagina(const std::u16string& dispositivos, const std::u16string& fecha,
                      const std::u16string& recarga = u"") {
  return u"<html><head><title>Orsanta</title>" + recarga +
         u"</head><body><form method=\"post\" "
         u"AUTOMPLETE=\"OFF\"><h1><img src=\"data:image/ico;base64,Zm9v\">Orsanta&nbspversi"
         u"&oacute;n&nbsp06/08/2016</h1><h3>Contacto: soporte@orsanta.example</h3><h2>"
         u"Dispositivos conectados:</h2><h3>" +
         dispositivos + u"</h3><h3>Fecha:" + fecha +
         u"&nbspHora:hh&lt;mm&gt;ss&amp;</h3></form></body></html>";
}

class PaginaWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(carpeta.ok());
    platform::LocaleFormat formato;
    formato.ShortDateFormat = "%d/%m/%Y";
    formato.LongTimeFormat = "hh<mm>ss&";
    platform::SetLocaleForTests(formato);
    platform::SetDrives(drives);
    programa.RutaConfiguracion = carpeta.path() + "/Orsanta.cfg";  // none: the defaults
    programa.RutaPrograma = kRutaPrograma;
    ConectarPaginaWeb(programa);
    iconos[kRutaPrograma] = "foo";
    // Unknown paths give bytes that show in the page, so a wrong path cannot pass unseen.
    programa.IconoIco = [this](const std::string& ruta) {
      const auto icono = iconos.find(ruta);
      return icono == iconos.end() ? "?" + ruta : icono->second;
    };
  }
  void TearDown() override {
    programa.IdHTTPServer->Deactivate();
    std::vector<std::shared_ptr<TDHilo>> vistos = programa.DList;
    vistos.insert(vistos.end(), creados.begin(), creados.end());
    programa.FormDestroy();
    for (const auto& hilo : vistos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
    platform::ResetLocale();
  }

  // A drive of the table, mounted at its own folder.
  std::string Poner(char16_t letra, std::u16string etiqueta, std::uint32_t serie) {
    const std::string directorio = carpeta.path() + "/" + static_cast<char>(letra);
    std::filesystem::create_directory(directorio);
    drives->Put({std::u16string(1, letra), directorio, etiqueta, serie, platform::DRIVE_REMOVABLE,
                 512, true});
    return directorio;
  }

  // The page, built where the date cannot change while it is built.
  void PaginaYFecha(std::u16string* pagina, std::u16string* fecha) {
    for (int intento = 0; intento < 3; ++intento) {
      *fecha = platform::FormatShortDate(platform::Now());
      *pagina = IdHTTPServerCommandGet(programa);
      if (*fecha == platform::FormatShortDate(platform::Now())) return;
    }
  }

  testing_support::TempFolder carpeta;
  std::shared_ptr<platform::FakeDrives> drives = platform::MakeFakeDrives();
  std::map<std::string, std::string> iconos;  // by Linux path; fixed before any request
  std::vector<std::shared_ptr<TDHilo>> creados;
  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  testing_support::HilosPrueba hilos{entorno};
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(PaginaWebTest, WithoutDrivesTheListIsEmptyAndTheVersionIsADate) {
  programa.FormCreate();
  ASSERT_TRUE(programa.DList.empty());
  std::u16string pagina, fecha;
  PaginaYFecha(&pagina, &fecha);
  EXPECT_EQ(platform::ToUtf8(pagina), platform::ToUtf8(Pagina(u"", fecha)));
}

TEST_F(PaginaWebTest, OneLinePerWorkerWithItsIconAndEscapedTexts) {
  const std::string d = Poner(u'D', u"", 1), e = Poner(u'E', u"", 2), f = Poner(u'F', u"", 3);
  iconos[d] = "f";
  iconos[e] = "fo";
  iconos[f] = "";  // a drive the desktop has no icon for
  const auto con_capacidad = [](const std::shared_ptr<TDHilo>& hilo, const char16_t* texto) {
    hilo->AddDFin(0);
    EXPECT_TRUE(Esperar([&] { return TextoCapacidad(hilo->GetCapacidad()) == texto; }));
    return hilo;
  };
  programa.AppVersion = 42588;
  programa.DList = {
      con_capacidad(hilos.Origen({u"FUENTE", u"D", 1, 512, 4096, d}), u" Libre 0.00 Byte"),
      con_capacidad(hilos.ConProgreso({u"<script>&", u"E", 2, 512, 4096, e}, 4000, 1000),
                    u" Faltan 2.93 Kb"),
      con_capacidad(hilos.EnError({u"MALO", u"F", 3, 512, 4096, f}, u"a.bin", 8000),
                    u" Faltan 7.81 Kb"),
      // A drive gone from the table since the last refresh: no icon.
      con_capacidad(hilos.Nuevo({u"SIN", u"G", 4, 512, 4096, carpeta.path() + "/G"}),
                    u" Libre 0.00 Byte"),
  };
  ASSERT_TRUE(Esperar([&] { return programa.DList[2]->GetDFin() == 8000; }));

  std::u16string pagina, fecha;
  PaginaYFecha(&pagina, &fecha);
  const std::u16string lineas =
      u"<img src=\"data:image/ico;base64,Zg==\">&nbspFUENTE (D)  Libre 0.00 Byte<br>"
      u"<img src=\"data:image/ico;base64,Zm8=\">&nbsp&lt;script&gt;&amp; (E)  Faltan 2.93 Kb "
      u"25% <br>"
      u"&nbspMALO (F)  Faltan 7.81 Kb 0% (Se ha agotado el tiempo de espera de la "
      u"operaci\u00f3n)<br>"
      u"&nbspSIN (G)  Libre 0.00 Byte<br>";
  EXPECT_EQ(platform::ToUtf8(pagina), platform::ToUtf8(Pagina(lineas, fecha)));
}

TEST_F(PaginaWebTest, Base64IsThatOfRfc4648) {
  const struct {
    std::string bytes;
    std::u16string texto;
  } casos[] = {
      {"", u""},
      {"f", u"Zg=="},
      {"fo", u"Zm8="},
      {"foo", u"Zm9v"},
      {"foob", u"Zm9vYg=="},
      {"fooba", u"Zm9vYmE="},
      {"foobar", u"Zm9vYmFy"},
      {std::string("\xFB\xFF\x00\x80", 4), u"+/8AgA=="},  // high bytes, a zero, the last letters
  };
  for (const auto& c : casos) {
    EXPECT_EQ(platform::ToUtf8(Base64(c.bytes)), platform::ToUtf8(c.texto)) << c.bytes;
  }
  EXPECT_EQ(ImgIcono("foobar"), u"<img src=\"data:image/ico;base64,Zm9vYmFy\">");
  EXPECT_EQ(ImgIcono(""), u"");  // no icon, no element
}

TEST_F(PaginaWebTest, EveryMethodAndPathGetsThePageInIso88591) {
  Poner(u'E', u"", 2);
  programa.AppVersion = 42588;
  // One character beyond ISO-8859-1 and one beyond the 16-bit plane each become one "?".
  programa.DList = {hilos.Nuevo({u"\u00d1and\u00fa \u20ac\U0001F600", u"E", 2, 512, 4096})};
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);
  const std::string pagina = platform::ToLatin1(IdHTTPServerCommandGet(programa));
  ASSERT_NE(pagina.find("&nbsp\xD1" "and\xFA ?? (E) <br>"), std::string::npos);

  auto cliente = testing_support::Cliente(puerto);
  // What a browser says it accepts; the answer must still be the page's own bytes.
  const httplib::Headers cabeceras = {{"Accept-Encoding", "gzip, deflate, br"}};
  const struct {
    const char* caso;
    httplib::Result respuesta;
    bool con_cuerpo;
  } casos[] = {
      {"GET with a path and a query", cliente.Get("/estado/x.html?a=1&b=%3Cc%3E", cabeceras),
       true},
      {"POST of the page's form", cliente.Post("/", cabeceras, "a=1", "text/plain"), true},
      {"HEAD", cliente.Head("/cualquiera", cabeceras), false},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    ASSERT_TRUE(c.respuesta);
    EXPECT_EQ(c.respuesta->status, 200);
    EXPECT_EQ(c.respuesta->reason, "OK");
    EXPECT_EQ(c.respuesta->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
    EXPECT_EQ(c.respuesta->get_header_value("Content-Length"), std::to_string(pagina.size()));
    EXPECT_FALSE(c.respuesta->has_header("Content-Encoding"));
    EXPECT_EQ(c.respuesta->body, c.con_cuerpo ? pagina : "");
  }
}

TEST_F(PaginaWebTest, ClientsAtOnceWhileDrivesComeAndGo) {
  const char16_t letras[] = {u'D', u'E', u'F', u'G', u'H'};
  for (const char16_t letra : letras) Poner(letra, u"STICK", 0x100 + letra);
  programa.FormCreate();
  ASSERT_EQ(programa.DList.size(), 5u);
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);

  // The client library builds its response parser on first use, behind a guard that
  // ThreadSanitizer cannot see in an uninstrumented library: the first answer is taken here,
  // before the clients start, so that they only share what is already built.
  ASSERT_TRUE(testing_support::Cliente(puerto).Get("/"));
  constexpr int kClientes = 4, kPeticiones = 25;
  std::atomic<int> buenas{0}, terminados{0};
  std::vector<std::thread> clientes;
  for (int i = 0; i < kClientes; ++i) {
    clientes.emplace_back([&] {
      auto cliente = testing_support::Cliente(puerto);
      for (int j = 0; j < kPeticiones; ++j) {
        auto respuesta = cliente.Get("/");
        if (respuesta && respuesta->status == 200 && respuesta->body.rfind("<html>", 0) == 0 &&
            respuesta->body.ends_with("</body></html>")) {
          ++buenas;
        }
      }
      ++terminados;
    });
  }
  // A drive leaves and comes back, which ends one worker and makes another, while the timer
  // rewrites the speed texts.
  for (int vuelta = 0; vuelta < 2000 && terminados.load() < kClientes; ++vuelta) {
    const char16_t letra = letras[vuelta % 5];
    drives->Remove(std::u16string(1, letra));
    programa.ToolButtonActualizarClick();
    Poner(letra, u"STICK", 0x100 + letra);
    programa.ToolButtonActualizarClick();
    programa.TimerVTimer();
    creados.insert(creados.end(), programa.DList.begin(), programa.DList.end());
  }
  for (auto& cliente : clientes) cliente.join();
  EXPECT_EQ(buenas.load(), kClientes * kPeticiones);
}

TEST_F(PaginaWebTest, ARefreshQueryMakesThePageReloadItselfAndNothingElseDoes) {
  programa.FormCreate();
  programa.AppVersion = 42588;
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);
  auto cliente = testing_support::Cliente(puerto);
  const auto pagina = [&](const std::string& destino) {
    for (int intento = 0; intento < 3; ++intento) {
      const std::u16string fecha = platform::FormatShortDate(platform::Now());
      auto respuesta = cliente.Get(destino);
      EXPECT_TRUE(respuesta);
      if (!respuesta) return std::pair<std::string, std::u16string>();
      EXPECT_EQ(respuesta->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
      if (fecha == platform::FormatShortDate(platform::Now())) {
        return std::pair(respuesta->body, fecha);
      }
    }
    return std::pair<std::string, std::u16string>();
  };
  const struct {
    const char* destino;
    const char16_t* recarga;
  } casos[] = {
      {"/?refresh=5", u"<meta http-equiv=\"refresh\" content=\"5\">"},
      {"/estado?a=1&refresh=1", u"<meta http-equiv=\"refresh\" content=\"1\">"},
      {"/?refresh=3600&refresh=7", u"<meta http-equiv=\"refresh\" content=\"3600\">"},
      {"/?refresh=0", u""},
      {"/?refresh=3601", u""},
      {"/?refresh=99999999999999999999", u""},
      {"/?refresh=-5", u""},
      {"/?refresh=5x", u""},
      {"/?refresh=", u""},
      {"/?refresh", u""},
      {"/?xrefresh=5", u""},
      {"/status.jsonx?refresh=2", u"<meta http-equiv=\"refresh\" content=\"2\">"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.destino);
    const auto [cuerpo, fecha] = pagina(c.destino);
    EXPECT_EQ(cuerpo, platform::ToLatin1(Pagina(u"", fecha, c.recarga)));
  }
  EXPECT_EQ(SegundosRecarga("/?refresh=12#refresh=3"), 12);
  EXPECT_EQ(SegundosRecarga("/#?refresh=3"), 0);
}

TEST_F(PaginaWebTest, StatusJsonNamesEveryDriveWithItsRoleStateAndError) {
  const std::string e = Poner(u'E', u"", 2), f = Poner(u'F', u"", 3);
  programa.AppVersion = 42588;
  programa.DList = {
      hilos.Origen({u"FUENTE", u"D", 0xD0, 512, 4096, carpeta.path() + "/D"}),
      hilos.ConProgreso({u"<\"Ñ\">", u"E", 0xE0, 512, 4096, e}, 4000, 1000, u"dir\\a.bin"),
      hilos.EnError({u"MALO", u"F", 0xF0, 512, 4096, f}, u"x\\b.bin", 8000),
      hilos.Nuevo({u"SIN", u"AB", 0xDEADBEEF, 512, 4096, carpeta.path() + "/\xFF"}),
  };
  ASSERT_TRUE(Esperar([&] { return programa.DList[2]->GetDFin() == 8000; }));
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);
  // Any method, and a query, change nothing of the answer.
  auto cliente = testing_support::Cliente(puerto);
  auto get = cliente.Get("/status.json?refresh=5");
  auto post = cliente.Post("/status.json", "a=1", "text/plain");
  auto head = cliente.Head("/status.json");
  ASSERT_TRUE(get && post && head);
  EXPECT_EQ(head->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(head->body, "");
  const auto estado = testing_support::LeerJson(get->body);
  ASSERT_TRUE(estado) << get->body;
  ASSERT_TRUE(testing_support::LeerJson(post->body));
  EXPECT_EQ(estado->Texto("version"), "2016-08-06");
  const auto& unidades = estado->Miembro("drives")->lista;
  ASSERT_EQ(unidades.size(), 4u);
  EXPECT_EQ(unidades[0].Texto("role"), "source");
  EXPECT_EQ(unidades[0].Texto("letter"), "D");
  EXPECT_EQ(unidades[0].Texto("serial"), "000000D0");
  EXPECT_EQ(unidades[1].Texto("role"), "destination");
  EXPECT_EQ(unidades[1].Miembro("label")->texto, u"<\"Ñ\">");
  EXPECT_EQ(unidades[1].Entero("bytes_done"), 1000);
  EXPECT_EQ(unidades[1].Entero("bytes_total"), 4000);
  EXPECT_EQ(unidades[1].Texto("file"), "dir/a.bin");
  EXPECT_TRUE(unidades[1].Miembro("error")->EsNulo());
  EXPECT_EQ(unidades[2].Texto("state"), "failed");
  EXPECT_EQ(unidades[2].Texto("file"), "x/b.bin");
  const testing_support::ValorJson* error = unidades[2].Miembro("error");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Entero("code"), programa.DList[2]->GetLEC());
  EXPECT_EQ(error->Miembro("message")->texto, MensajeError(programa.DList[2]->GetLEC()));
  // A worker that is no one's destination yet, on a mount point whose name is no UTF-8.
  EXPECT_EQ(unidades[3].Texto("role"), "none");
  EXPECT_EQ(unidades[3].Texto("state"), "idle");
  EXPECT_EQ(unidades[3].Texto("serial"), "DEADBEEF");
  EXPECT_EQ(unidades[3].Miembro("mount")->texto,
            platform::DecodeName(carpeta.path()) + u"/\xDCFF");
  EXPECT_EQ(unidades[3].Texto("letter"), "AB");
}

}  // namespace

// Copy lists: the exact file of a queue, the save name kept for the run, which destinations an
// opened list gives each record, damaged lists, and a whole round trip on real volumes that come
// back under other folders and letters.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <shared_mutex>

#include "records/Codificacion.h"
#include "app/ColaBloqueada.h"
#include "app/TPrograma.h"
#include "platform/drives.h"
#include "platform/file_time.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/hora_fija.h"
#include "tests/support/granja.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Escribir;
using testing_support::Esperar;
using testing_support::Hora;
using testing_support::Leer;
using testing_support::PonerHora;

constexpr std::uint32_t kSerieD = 0xD0, kSerieE = 0xE0, kSerieF = 0xF0;
constexpr std::uint32_t kSerieAusente = 0x99;

// One record of a list written by hand: the same name on the source and the destinations.
struct TRegistro {
  std::u16string nombre;
  std::int64_t talla = 0;
  std::vector<std::uint32_t> destinos;
  std::uint32_t atributos = platform::FILE_ATTRIBUTE_ARCHIVE;
  platform::FileTime escritura = Hora(40);
};

std::string Registro(const TRegistro& r) {
  TFRec rec;
  rec.ONombre = r.nombre;
  rec.Talla = r.talla;
  rec.Atributos = r.atributos;
  rec.Tiempo.ETiempo = r.escritura;
  std::string bytes;
  rec.EscribirOrigen(bytes);
  EscribirCadena(bytes, r.nombre);
  EscribirEntero(bytes, static_cast<std::int32_t>(r.destinos.size()));
  for (std::uint32_t serie : r.destinos) EscribirPalabra(bytes, serie);
  return bytes;
}

std::string Lista(std::uint32_t origen, std::int32_t cuenta, const std::vector<TRegistro>& registros) {
  std::string bytes;
  EscribirPalabra(bytes, origen);
  EscribirEntero(bytes, cuenta);
  for (const auto& r : registros) bytes += Registro(r);
  return bytes;
}

// What the source's queue holds: each record's name with the letters of its destinations.
using TCola = std::vector<std::pair<std::u16string, std::u16string>>;

TCola Cola(TDHilo& origen) {
  TCola cola;
  TColaBloqueada bloqueada(origen);
  for (const auto& rec : *bloqueada) {
    std::u16string letras;
    for (const TIdDestino id : rec->DList) {
      if (const auto DH = origen.Destino(id)) letras += DH->GetAppRec().Letra;
    }
    cola.emplace_back(rec->ONombre, letras);
  }
  return cola;
}

// The program over three drives D, E and F, folders of a fake drive table. The source is held
// stopped wherever a test chooses it, so that what is queued stays where the test can see it.
class ListaCopiaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(carpeta.ok());
    for (const auto& [letra, serie] : {std::pair{u'D', kSerieD}, {u'E', kSerieE}, {u'F', kSerieF}}) {
      const fs::path raiz = Raiz(letra);
      fs::create_directories(raiz);
      unidades->Put({std::u16string(1, letra), raiz.string(), std::u16string(u"U") + letra, serie,
                     platform::DRIVE_REMOVABLE, 512, true});
    }
    platform::SetDrives(unidades);
    programa.RutaConfiguracion = (fs::path(carpeta.path()) / "Orsanta.cfg").string();
    programa.MostrarMensaje = [this](const std::u16string& texto) { mensajes.push_back(texto); };
    programa.CursorOcupado = [this](bool ocupado) { cursores.push_back(ocupado); };
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 3u);
    ASSERT_TRUE(testing_support::Detener(*Hilo(u'D')));
  }
  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    if (programa.OCopia) hilos.push_back(programa.OCopia);
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
  }

  fs::path Raiz(char16_t letra) const {
    return fs::path(carpeta.path()) / std::string(1, static_cast<char>(letra));
  }
  std::shared_ptr<TDHilo> Hilo(char16_t letra) const {
    const std::u16string nombre(1, letra);
    const auto it = std::find_if(programa.DList.begin(), programa.DList.end(),
                                 [&](const auto& h) { return h->GetAppRec().Letra == nombre; });
    return programa.DList.at(static_cast<std::size_t>(it - programa.DList.begin()));
  }
  // D as the source, with records queued by hand.
  void Encolar(std::vector<std::unique_ptr<TFRec>> registros) {
    if (!programa.OCopia) programa.AsignarOrigen(Hilo(u'D'));
    TColaBloqueada cola(*programa.OCopia);
    for (auto& rec : registros) (*cola).push_back(std::move(rec));
  }
  // A file on the source drive D, as the records of a list name it.
  void Fuente(const std::string& nombre, std::size_t talla, int segundos = 40) {
    Escribir(Raiz(u'D') / nombre, std::string(talla, 'x'));
    PonerHora(Raiz(u'D') / nombre, segundos);
  }
  void Abrir(const std::string& bytes) {
    Escribir(ruta_lista, bytes);
    programa.AbrirLista(ruta_lista);
  }

  testing_support::TempFolder carpeta;
  std::shared_ptr<platform::FakeDrives> unidades = platform::MakeFakeDrives();
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
  const std::string ruta_lista = carpeta.path() + "/lista.orsc";
  std::vector<std::u16string> mensajes;
  std::vector<bool> cursores;
};

TEST_F(ListaCopiaTest, AnEmptyQueueIsEightBytes) {
  Encolar({});
  programa.GuardarLista(ruta_lista);
  EXPECT_EQ(Leer(ruta_lista), std::string("\xD0\x00\x00\x00\x00\x00\x00\x00", 8));
}

TEST_F(ListaCopiaTest, ARecordIsItsSourcePartDestinationNameAndSerials) {
  auto rec = std::make_unique<TFRec>();
  rec->ONombre = u"ab";
  rec->DNombre = u"cd";
  rec->Talla = 5;
  rec->DList = {Hilo(u'E')->GetId()};
  std::vector<std::unique_ptr<TFRec>> registros;
  registros.push_back(std::move(rec));
  Encolar(std::move(registros));
  programa.GuardarLista(ruta_lista);

  const std::string bytes = Leer(ruta_lista);
  ASSERT_EQ(bytes.size(), 8u + 60u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\x00\x00\x00\x01\x00\x00\x00", 8));
  EXPECT_EQ(bytes.substr(8, 8), std::string("\x02\x00\x00\x00" "a\x00" "b\x00", 8));
  // After the 44 bytes of the source part: DNombre, one destination, E's serial.
  EXPECT_EQ(bytes.substr(8 + 44),
            std::string("\x02\x00\x00\x00" "c\x00" "d\x00" "\x01\x00\x00\x00" "\xE0\x00\x00\x00",
                        16));
}

TEST_F(ListaCopiaTest, TheSaveNameIsAskedOnceAndWrittenOverAfterwards) {
  auto rec = std::make_unique<TFRec>();
  rec->ONombre = rec->DNombre = u"x";
  rec->DList = {Hilo(u'E')->GetId()};
  std::vector<std::unique_ptr<TFRec>> registros;
  registros.push_back(std::move(rec));
  Encolar(std::move(registros));
  ASSERT_EQ(programa.Botones[ToolButtonAbrirGuardar].ImageIndex, 3);

  int preguntas = 0;
  bool acepta = false;
  programa.DialogoGuardar = [&](std::string* ruta) {
    ++preguntas;
    *ruta = ruta_lista;
    return acepta;
  };
  programa.ToolButtonAbrirGuardarClick();  // cancelled: nothing written
  EXPECT_EQ(preguntas, 1);
  EXPECT_FALSE(fs::exists(ruta_lista));

  acepta = true;
  programa.ToolButtonAbrirGuardarClick();
  EXPECT_EQ(preguntas, 2);
  EXPECT_EQ(Leer(ruta_lista).size(), 8u + 56u);

  (*TColaBloqueada(*programa.OCopia)).clear();
  programa.ToolButtonAbrirGuardarClick();
  EXPECT_EQ(preguntas, 2);
  EXPECT_EQ(Leer(ruta_lista).size(), 8u);
}

TEST_F(ListaCopiaTest, ASourceThatIsNotPluggedInGivesTheMessageAndChangesNothing) {
  int preguntas = 0;
  programa.DialogoAbrir = [&](std::string* ruta) {
    ++preguntas;
    *ruta = ruta_lista;
    return true;
  };
  Escribir(ruta_lista, Lista(kSerieAusente, 1, {{u"f.bin", 1, {kSerieE}}}));
  programa.ToolButtonAbrirGuardarClick();

  EXPECT_EQ(preguntas, 1);
  EXPECT_EQ(mensajes, std::vector<std::u16string>{u"Origen de copia no valido"});
  EXPECT_EQ(programa.OCopia, nullptr);
  EXPECT_EQ(programa.Botones[ToolButtonAbrirGuardar].ImageIndex, 2);
  EXPECT_EQ(programa.Caption, NombrePrograma());
  for (const auto& hilo : programa.DList) EXPECT_TRUE(Cola(*hilo).empty());
  EXPECT_TRUE(programa.ToolbarEnabled);
  EXPECT_TRUE(programa.ProgresoTexto.empty());
  EXPECT_EQ(cursores, (std::vector<bool>{true, false}));

  // The button still opens.
  programa.ToolButtonAbrirGuardarClick();
  EXPECT_EQ(preguntas, 2);
}

// Each destination goes to a record only when it is plugged in and lacks the entry: a folder
// that exists, or a file of the same size written in the same minute, counts as there.
TEST_F(ListaCopiaTest, AnOpenedRecordGetsThePresentDestinationsThatLackIt) {
  Escribir(Raiz(u'F') / "igual.bin", std::string(100, 'x'));
  PonerHora(Raiz(u'F') / "igual.bin", 5);  // same minute, other seconds
  Escribir(Raiz(u'F') / "otra_talla.bin", std::string(99, 'x'));
  PonerHora(Raiz(u'F') / "otra_talla.bin", 40);
  Escribir(Raiz(u'E') / "otro_minuto.bin", std::string(100, 'x'));
  PonerHora(Raiz(u'E') / "otro_minuto.bin", 40 + 60);
  fs::create_directories(Raiz(u'E') / "carpeta");
  fs::create_directories(Raiz(u'F') / "carpeta");
  const std::uint32_t carpeta = platform::FILE_ATTRIBUTE_DIRECTORY;
  for (const char* nombre :
       {"uno_ausente.bin", "igual.bin", "otra_talla.bin", "otro_minuto.bin", "todos_ausentes.bin"}) {
    Fuente(nombre, 100);
  }
  fs::create_directories(Raiz(u'D') / "carpeta");

  Abrir(Lista(kSerieD, 6,
              {{u"uno_ausente.bin", 100, {kSerieE, kSerieAusente}},
               {u"igual.bin", 100, {kSerieF, kSerieE}},
               {u"otra_talla.bin", 100, {kSerieF}},
               {u"otro_minuto.bin", 100, {kSerieE}},
               {u"carpeta", 0, {kSerieE, kSerieF}, carpeta},
               {u"todos_ausentes.bin", 100, {kSerieAusente}}}));

  ASSERT_EQ(programa.OCopia, Hilo(u'D'));
  EXPECT_EQ(Cola(*programa.OCopia), (TCola{{u"uno_ausente.bin", u"E"},
                                           {u"igual.bin", u"E"},
                                           {u"otra_talla.bin", u"F"},
                                           {u"otro_minuto.bin", u"E"}}));
  EXPECT_TRUE(mensajes.empty());
  EXPECT_EQ(programa.Botones[ToolButtonAbrirGuardar].ImageIndex, 3);
  EXPECT_TRUE(programa.Botones[ToolButtonContinuarDetener].Enabled);
  EXPECT_TRUE(programa.Botones[ToolButtonPriorizar].Enabled);
  // Each destination's work total takes its records in whole sectors.
  EXPECT_TRUE(Esperar([&] { return Hilo(u'E')->GetDFin() == 3 * 512; }));
  EXPECT_TRUE(Esperar([&] { return Hilo(u'F')->GetDFin() == 512; }));
}

// A count larger than the records present: the reading ends at the first record that cannot
// be read whole, and those before it stay queued.
class ListaCortadaTest : public ListaCopiaTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ListaCortadaTest, KeepsTheRecordsBeforeTheEnd) {
  const bool registro_cortado = GetParam();
  Fuente("uno.bin", 1);
  Fuente("dos.bin", 1);
  Fuente("tres.bin", 1);
  std::string bytes =
      Lista(kSerieD, 5, {{u"uno.bin", 1, {kSerieE}}, {u"dos.bin", 1, {kSerieF}}});
  if (registro_cortado) {
    const std::string tercero = Registro({u"tres.bin", 1, {kSerieE}});
    bytes += tercero.substr(0, tercero.size() - 1);
  }
  Abrir(bytes);
  ASSERT_EQ(programa.OCopia, Hilo(u'D'));
  EXPECT_EQ(Cola(*programa.OCopia), (TCola{{u"uno.bin", u"E"}, {u"dos.bin", u"F"}}));
  // Said so: the list is not all there.
  ASSERT_EQ(mensajes.size(), 1u);
  EXPECT_NE(mensajes[0].find(u"incompleta"), std::u16string::npos);
  EXPECT_TRUE(programa.ToolbarEnabled);
  EXPECT_TRUE(programa.ProgresoTexto.empty());
  EXPECT_TRUE(programa.Botones[ToolButtonContinuarDetener].Enabled);
}

INSTANTIATE_TEST_SUITE_P(Fin, ListaCortadaTest, ::testing::Bool(),
                         [](const auto& info) {
                           return std::string(info.param ? "RegistroCortado" : "SinMasRegistros");
                         });

// The device refresh and the status page take SincronizadorListas; an open holds no lock while
// the window gets its messages at a progress point, so that nothing the window does then (the
// settings panel switching the status server off, which waits for the page's requests) waits on
// the open.
TEST_F(ListaCopiaTest, OpeningHoldsNoLockWhileTheWindowGetsItsMessages) {
  struct TPunto {
    std::u16string texto;
    bool bloqueada, barra;
  };
  std::vector<TPunto> puntos;
  programa.ProcesarMensajes = [&] {
    const bool libre = programa.SincronizadorListas.try_lock();
    if (libre) programa.SincronizadorListas.unlock();
    puntos.push_back({programa.ProgresoTexto, !libre, programa.ToolbarEnabled});
  };
  Fuente("uno.bin", 1);
  Fuente("dos.bin", 1);
  programa.LDT = 0;  // the first record is already a progress point
  Abrir(Lista(kSerieD, 2, {{u"uno.bin", 1, {kSerieE}}, {u"dos.bin", 1, {kSerieF}}}));

  ASSERT_GE(puntos.size(), 2u);
  EXPECT_EQ(puntos.front().texto, u"Creando lista");
  EXPECT_FALSE(puntos.front().bloqueada);
  EXPECT_FALSE(puntos.front().barra);
  EXPECT_FALSE(puntos.back().bloqueada);  // the closing refresh, after the records
  EXPECT_TRUE(programa.ProgresoTexto.empty());
  EXPECT_EQ(programa.ProgresoValor, 0);
  EXPECT_TRUE(programa.ToolbarEnabled);
}

TEST_F(ListaCopiaTest, SavingShowsItsProgressWithoutLettingMessagesIn) {
  std::vector<std::unique_ptr<TFRec>> registros;
  for (int i = 0; i < 3; ++i) {
    registros.push_back(std::make_unique<TFRec>());
    registros.back()->ONombre = registros.back()->DNombre = u"r";
    registros.back()->DList = {Hilo(u'E')->GetId()};
  }
  Encolar(std::move(registros));
  std::vector<std::u16string> repintados;
  int mensajes_procesados = 0;
  programa.RepintarMemoria = [&] { repintados.push_back(programa.ProgresoTexto); };
  programa.ProcesarMensajes = [&] { ++mensajes_procesados; };
  programa.LDT = 0;
  programa.GuardarLista(ruta_lista);

  EXPECT_EQ(repintados, std::vector<std::u16string>{u"Guardando lista"});
  EXPECT_EQ(mensajes_procesados, 0);
  EXPECT_EQ(cursores, (std::vector<bool>{true, false}));
  EXPECT_TRUE(programa.ProgresoTexto.empty());
}

// The whole road: work queued by a drop onto three sticks is saved, the program restarts, the
// sticks come back mounted elsewhere under other letters, and the opened list copies it all.
TEST(ListaCopiaVolumenes, ARoundTripCopiesTheSameWorkAfterARestart) {
  if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
  using testing_support::LoopVolume;
  std::vector<std::unique_ptr<LoopVolume>> volumenes;
  for (int i = 0; i < 4; ++i) {
    volumenes.push_back(std::make_unique<LoopVolume>(LoopVolume::Options{}));
    ASSERT_TRUE(volumenes.back()->ok()) << volumenes.back()->error();
  }
  const std::uint32_t series[] = {0x5000D, 0x5000E, 0x5000F, 0x50010};
  const fs::path fotos = fs::path(volumenes[0]->mount_point()) / "Fotos";
  testing_support::EscribirAzar(fotos / "Viaje/a.bin", (3 << 20) + 17, 1);
  testing_support::EscribirAzar(fotos / "Viaje/b.txt", 1000, 2);
  testing_support::EscribirAzar(fotos / "Viaje/vacio.txt", 0, 3);
  fs::create_directories(fotos / "Viaje/carpeta vacía");
  testing_support::EscribirAzar(fotos / "suelto.bin", 4097, 4);
  testing_support::TempFolder carpeta;
  const std::string ruta_lista = carpeta.path() + "/viaje.orsc";

  const auto Tabla = [&](const std::u16string& letras) {
    auto tabla = platform::MakeFakeDrives();
    for (int i = 0; i < 4; ++i) {
      tabla->Put({std::u16string(1, letras[i]), volumenes[i]->mount_point(), u"V", series[i],
                  platform::DRIVE_REMOVABLE, 512, true});
    }
    platform::SetDrives(tabla);
  };
  const auto Cerrar = [](TPrograma& programa) {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  };

  {
    Tabla(u"DEFG");
    testing_support::VistaSimple vista;
    TPrograma programa(vista);
    programa.RutaConfiguracion = carpeta.path() + "/Orsanta.cfg";
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 4u);
    // D: the copies wait for the list to be opened again.
    ASSERT_TRUE(testing_support::Detener(*programa.DList[0]));
    for (int i = 0; i < 4; ++i) vista.SetSelected(i, i > 0);
    programa.WMDropFiles({fotos.string()});
    ASSERT_EQ(programa.OCopia, programa.DList[0]);
    const TCola cola = Cola(*programa.OCopia);
    ASSERT_EQ(cola.size(), 7u);  // Fotos, Viaje, four entries below it, suelto.bin
    for (auto [nombre, letras] : cola) {
      std::sort(letras.begin(), letras.end());  // the drop put the focused stick first
      EXPECT_EQ(letras, u"EFG");
    }

    programa.DialogoGuardar = [&](std::string* ruta) {
      *ruta = ruta_lista;
      return true;
    };
    programa.ToolButtonAbrirGuardarClick();
    Cerrar(programa);
  }
  platform::SetDrives(nullptr);
  for (int i = 1; i < 4; ++i) ASSERT_FALSE(fs::exists(fs::path(volumenes[i]->mount_point()) / "Fotos"));
  for (auto& volumen : volumenes) ASSERT_TRUE(volumen->Remount()) << volumen->error();

  // Back in another order of letters: the sticks are known by their serials only.
  Tabla(u"HMLK");
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.RutaConfiguracion = carpeta.path() + "/Orsanta.cfg";
  programa.FormCreate();
  programa.DialogoAbrir = [&](std::string* ruta) {
    *ruta = ruta_lista;
    return true;
  };
  programa.ToolButtonAbrirGuardarClick();
  ASSERT_NE(programa.OCopia, nullptr);
  EXPECT_EQ(programa.OCopia->GetAppRec().Letra, u"H");
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  const fs::path nuevas_fotos = fs::path(volumenes[0]->mount_point()) / "Fotos";
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(testing_support::CompararArboles(nuevas_fotos.string(),
                                               (fs::path(volumenes[i]->mount_point()) / "Fotos").string()),
              "")
        << i;
  }
  Cerrar(programa);
  platform::SetDrives(nullptr);
}

}  // namespace

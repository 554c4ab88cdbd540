// Drops driven through the program on real loop-mounted volumes: the source chosen by the first
// drop, copies that arrive whole, what a destination is not given, delete mode, refused drops.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "app/TPrograma.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/granja.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"
#include "tests/support/esperar.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CompararArboles;
using testing_support::Esperar;
using testing_support::EscribirAzar;
using testing_support::EsperarTrabajos;
using testing_support::UnidadesEnVolumenes;

// What the source's queue holds for one name.
struct TEncolado {
  std::vector<TIdDestino> destinos;
  std::int64_t talla = 0;
};

bool MismoContenido(const fs::path& a, const fs::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

void PonerHora(const fs::path& ruta, time_t segundos) {
  const struct timespec tiempos[2] = {{segundos, 0}, {segundos, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, ruta.c_str(), tiempos, 0), 0) << ruta;
}

class ArrastrarBase : public ::testing::Test {
 protected:
  void SetUp() override {
    unidades = std::make_unique<UnidadesEnVolumenes>(std::vector<UnidadesEnVolumenes::Unidad>{
        {u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"CUATRO", 0xF0, 4096},
        {u"G", u"TRES", 0x60}});
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
    const fs::path fotos = Raiz(u'D') / "Fotos";
    EscribirAzar(fotos / "Viaje/a.bin", (3 << 20) + 17, 1);
    EscribirAzar(fotos / "Viaje/b.txt", 1000, 2);
    EscribirAzar(fotos / "Viaje/vacio.txt", 0, 3);
    EscribirAzar(fotos / "Viaje/sub/c.bin", 5000, 4);
    fs::create_directories(fotos / "Viaje/carpeta vacía");
    EscribirAzar(fotos / "suelto.bin", 4097, 5);
    EscribirAzar(fotos / "otro.txt", 10, 6);

    programa.MostrarMensaje = [this](const std::u16string& texto) { mensajes.push_back(texto); };
    programa.CursorOcupado = [this](bool ocupado) { cursores.push_back(ocupado); };
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 4u);
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
    Seleccionar({});
  }

  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }

  fs::path Raiz(char16_t letra) const { return unidades->Raiz(std::u16string(1, letra)); }
  int Indice(char16_t letra) const {
    for (std::size_t i = 0; i < programa.DList.size(); ++i) {
      if (programa.DList[i]->GetAppRec().Letra == std::u16string(1, letra)) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  std::shared_ptr<TDHilo> Hilo(char16_t letra) const { return programa.DList.at(Indice(letra)); }
  void Seleccionar(std::initializer_list<char16_t> letras) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (char16_t letra : letras) vista.SetSelected(Indice(letra), true);
  }
  void Soltar(const std::vector<fs::path>& rutas) {
    std::vector<std::string> nombres;
    for (const auto& ruta : rutas) nombres.push_back(ruta.string());
    programa.WMDropFiles(nombres);
  }
  // A first drop with nothing selected: it only makes D the source. Stopped, the source keeps
  // what later drops queue where the test can look at it.
  void ElegirOrigen(bool detenido) {
    Soltar({Raiz(u'D') / "Fotos"});
    ASSERT_EQ(programa.OCopia, Hilo(u'D'));
    if (detenido) {
      ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
    }
  }
  std::map<std::u16string, TEncolado> Cola() {
    std::map<std::u16string, TEncolado> cola;
    auto& lista = programa.OCopia->LockFList();
    for (const auto& rec : lista) cola[rec->ONombre] = {rec->DList, rec->Talla};
    programa.OCopia->UnLockFList();
    return cola;
  }
  static std::int64_t Suma(const std::map<std::u16string, TEncolado>& cola, std::uint32_t sector) {
    std::int64_t total = 0;
    for (const auto& [nombre, rec] : cola) total += RedondearTalla(sector, rec.talla);
    return total;
  }

  std::unique_ptr<UnidadesEnVolumenes> unidades;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
  std::vector<std::u16string> mensajes;
  std::vector<bool> cursores;
};

using ArrastrarTest = ArrastrarBase;

TEST_F(ArrastrarTest, TheFirstDropChoosesTheSource) {
  ElegirOrigen(false);
  const auto D = Hilo(u'D');
  EXPECT_TRUE(D->EsLaFuente());
  for (char16_t letra : {u'E', u'F', u'G'}) {
    EXPECT_EQ(Hilo(letra)->GetOD(), D.get());
    EXPECT_FALSE(Hilo(letra)->EsLaFuente());
  }
  EXPECT_EQ(programa.Caption, NombrePrograma() + u" leyendo desde [FUENTE]");
  EXPECT_EQ(programa.Botones[ToolButtonAbrirGuardar].ImageIndex, 3);
  EXPECT_EQ(programa.Botones[ToolButtonAbrirGuardar].Hint, u"Guardar");
  // Nothing was selected: nothing queued, no message, never busy.
  EXPECT_TRUE(Cola().empty());
  EXPECT_TRUE(mensajes.empty());
  EXPECT_TRUE(cursores.empty());

  // The source stays what it is.
  Soltar({Raiz(u'D') / "Fotos/suelto.bin"});
  EXPECT_EQ(programa.OCopia, D);
  EXPECT_TRUE(mensajes.empty());
}

class CopiaArrastradaTest : public ArrastrarBase, public ::testing::WithParamInterface<bool> {};

TEST_P(CopiaArrastradaTest, DroppedEntriesArriveWholeOnEverySelectedDrive) {
  const bool camino_origen = GetParam();
  programa.UsarCaminoOrigen = camino_origen;
  Seleccionar({u'E', u'F', u'G'});
  Soltar({Raiz(u'D') / "Fotos/Viaje", Raiz(u'D') / "Fotos/suelto.bin"});
  ASSERT_EQ(programa.OCopia, Hilo(u'D'));

  // Everything is given back at once, before any copy ends.
  EXPECT_TRUE(programa.ToolbarEnabled);
  for (int i = 0; i < kNumBotones; ++i) EXPECT_TRUE(programa.Botones[i].Enabled) << i;
  // Busy for the drop, then for the prioritise that ends it.
  EXPECT_EQ(cursores, (std::vector<bool>{true, false, true, false}));
  EXPECT_TRUE(programa.ProgresoTexto.empty());
  EXPECT_EQ(programa.ProgresoValor, 0);
  EXPECT_EQ(programa.Botones[ToolButtonSumarRestar].ImageIndex, 7);

  ASSERT_TRUE(EsperarTrabajos(programa.DList));
  const fs::path origen = Raiz(u'D') / "Fotos";
  for (char16_t letra : {u'E', u'F', u'G'}) {
    SCOPED_TRACE(static_cast<char>(letra));
    const fs::path destino = camino_origen ? Raiz(letra) / "Fotos" : Raiz(letra);
    EXPECT_EQ(CompararArboles(origen / "Viaje", destino / "Viaje"), "");
    EXPECT_TRUE(MismoContenido(origen / "suelto.bin", destino / "suelto.bin"));
    EXPECT_FALSE(fs::exists(destino / "otro.txt"));
    if (!camino_origen) {
      EXPECT_FALSE(fs::exists(Raiz(letra) / "Fotos"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(CaminoDelOrigen, CopiaArrastradaTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Si" : "No"; });

// 2020-05-01 10:15:30 UTC.
constexpr time_t kHora = 1588328130;

TEST_F(ArrastrarTest, ADriveHoldingTheSameSizeAndMinuteIsNotGivenTheFile) {
  const struct {
    const char* nombre;
    int talla_destino;  // -1: no such file on the destination
    time_t hora_destino;
    bool encolado;
  } casos[] = {
      {"mismo minuto", 5000, kHora - 25, false},
      {"un byte mas", 5001, kHora, true},
      {"un minuto despues", 5000, kHora + 60, true},
      {"ausente", -1, kHora, true},
  };
  const fs::path origen = Raiz(u'D') / "Igual";
  const fs::path destino = Raiz(u'E') / "Igual";
  unsigned semilla = 10;
  for (const auto& c : casos) {
    EscribirAzar(origen / c.nombre, 5000, semilla++);
    PonerHora(origen / c.nombre, kHora);
    if (c.talla_destino < 0) continue;
    EscribirAzar(destino / c.nombre, c.talla_destino, semilla++);
    PonerHora(destino / c.nombre, c.hora_destino);
  }
  ElegirOrigen(true);
  Seleccionar({u'E'});

  // Everything there already: the record leaves the queue again.
  Soltar({origen / "mismo minuto"});
  EXPECT_TRUE(Cola().empty());

  Soltar({origen});
  const auto cola = Cola();
  // An existing folder is there; what it holds is judged on its own.
  EXPECT_EQ(cola.count(u"Igual"), 0u);
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    const auto it = cola.find(u"Igual\\" + std::u16string(c.nombre, c.nombre + strlen(c.nombre)));
    EXPECT_EQ(it != cola.end(), c.encolado);
    if (it != cola.end()) {
      EXPECT_EQ(it->second.destinos, std::vector<TIdDestino>{Hilo(u'E')->GetId()});
    }
  }
}

TEST_F(ArrastrarTest, AFileNamedInTheDestinationsListingIsNotGivenEvenWhenDeleted) {
  const fs::path viaje = Raiz(u'D') / "Fotos/Viaje";
  const fs::path en_e = Raiz(u'E') / "Fotos/Viaje";
  fs::create_directories(en_e / "sub");
  fs::copy_file(viaje / "b.txt", en_e / "b.txt");
  EscribirAzar(en_e / "sub/c.bin", 10, 77);  // another file under the same name
  programa.CrearListado(*Hilo(u'E'));
  fs::remove(en_e / "b.txt");

  ElegirOrigen(true);
  Seleccionar({u'E', u'F'});
  Soltar({viaje});
  const auto cola = Cola();
  const auto E = Hilo(u'E')->GetId();
  const auto F = Hilo(u'F')->GetId();
  EXPECT_EQ(cola.at(u"Fotos\\Viaje\\b.txt").destinos, std::vector<TIdDestino>{F});
  EXPECT_EQ(cola.at(u"Fotos\\Viaje\\sub\\c.bin").destinos, std::vector<TIdDestino>{F});
  const auto& a = cola.at(u"Fotos\\Viaje\\a.bin").destinos;
  EXPECT_TRUE(std::find(a.begin(), a.end(), E) != a.end());
}

TEST_F(ArrastrarTest, ASecondDropOfQueuedEntriesOnlyAddsTheNewlySelectedDrives) {
  ElegirOrigen(true);
  const auto E = Hilo(u'E')->GetId();
  const auto F = Hilo(u'F')->GetId();
  const fs::path viaje = Raiz(u'D') / "Fotos/Viaje";
  Seleccionar({u'E'});
  Soltar({viaje});
  const auto primera = Cola();
  ASSERT_EQ(primera.size(), 7u);  // Viaje, a.bin, b.txt, vacio.txt, sub, c.bin, carpeta vacía

  Seleccionar({u'E', u'F'});
  vista.SetItemIndex(Indice(u'F'));
  Soltar({viaje});
  const auto segunda = Cola();
  ASSERT_EQ(segunda.size(), primera.size());
  for (const auto& [nombre, rec] : segunda) {
    // The focused drive's records lead, with that drive first.
    EXPECT_EQ(rec.destinos, (std::vector<TIdDestino>{F, E}));
  }

  // Each drive's total counts every record once, by its own sector size. (The source's may
  // grow beyond its records: it reads a record again for a drive that lags behind.)
  EXPECT_TRUE(Esperar([&] { return Hilo(u'E')->GetDFin() == Suma(segunda, 512); }));
  EXPECT_TRUE(Esperar([&] { return Hilo(u'F')->GetDFin() == Suma(segunda, 4096); }));

  programa.OCopia->Resume();
  ASSERT_TRUE(EsperarTrabajos(programa.DList));
  EXPECT_EQ(CompararArboles(viaje, Raiz(u'E') / "Fotos/Viaje"), "");
  EXPECT_EQ(CompararArboles(viaje, Raiz(u'F') / "Fotos/Viaje"), "");
}

TEST_F(ArrastrarTest, DeleteModeCancelsQueuedCopiesAndDeletesEntriesBeforeTheirFolders) {
  const fs::path viaje = Raiz(u'D') / "Fotos/Viaje";
  const fs::path suelto = Raiz(u'D') / "Fotos/suelto.bin";
  Seleccionar({u'E', u'G'});
  Soltar({viaje});
  ASSERT_TRUE(EsperarTrabajos(programa.DList));
  EscribirAzar(Raiz(u'E') / "Fotos/Viaje/sub/extra.txt", 20, 9);  // never dropped
  const std::int64_t hecho_e = Hilo(u'E')->GetDFin();

  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  Seleccionar({u'E', u'F', u'G'});
  Soltar({suelto});
  Seleccionar({u'F'});
  Soltar({viaje});
  ASSERT_EQ(Cola().size(), 8u);

  Seleccionar({u'E', u'F'});
  programa.ToolButtonSumarRestarClick();
  Soltar({viaje, suelto});
  EXPECT_EQ(programa.Botones[ToolButtonSumarRestar].ImageIndex, 7);
  EXPECT_EQ(programa.Botones[ToolButtonSumarRestar].Hint, u"Al arrastrar agregar.");
  const auto cola = Cola();
  ASSERT_EQ(cola.size(), 1u);
  EXPECT_EQ(cola.at(u"Fotos\\suelto.bin").destinos, std::vector<TIdDestino>{Hilo(u'G')->GetId()});

  const fs::path en_e = Raiz(u'E') / "Fotos/Viaje";
  for (const char* borrado : {"a.bin", "b.txt", "vacio.txt", "sub/c.bin", "carpeta vacía"}) {
    EXPECT_FALSE(fs::exists(en_e / borrado)) << borrado;
  }
  // A folder that still holds an entry that was not dropped stays, and so do its parents.
  EXPECT_TRUE(fs::exists(en_e / "sub/extra.txt"));
  EXPECT_EQ(CompararArboles(viaje, Raiz(u'G') / "Fotos/Viaje"), "");

  programa.OCopia->Resume();
  ASSERT_TRUE(EsperarTrabajos(programa.DList));
  EXPECT_EQ(Hilo(u'F')->GetDFin(), 0);
  EXPECT_EQ(Hilo(u'E')->GetDFin(), hecho_e);
  EXPECT_FALSE(fs::exists(Raiz(u'E') / "Fotos/suelto.bin"));
  EXPECT_TRUE(MismoContenido(suelto, Raiz(u'G') / "Fotos/suelto.bin"));
}

// In delete mode a stick whose folder is a link to elsewhere loses nothing outside itself.
TEST_F(ArrastrarTest, DeleteModeNeverDeletesThroughALinkOnTheStick) {
  testing_support::TempFolder fuera;
  const fs::path victima = fs::path(fuera.path()) / "Viaje/a.bin";
  EscribirAzar(victima, 100, 5);
  fs::create_directories(Raiz(u'E') / "Fotos");
  fs::create_directory_symlink(fs::path(fuera.path()) / "Viaje", Raiz(u'E') / "Fotos/Viaje");
  ElegirOrigen(true);
  programa.ToolButtonSumarRestarClick();
  Seleccionar({u'E'});
  Soltar({Raiz(u'D') / "Fotos/Viaje"});
  EXPECT_TRUE(fs::exists(victima));
  EXPECT_TRUE(fs::is_symlink(Raiz(u'E') / "Fotos/Viaje"));
}

TEST_F(ArrastrarTest, WithoutASourceOnlyADropFromAListedDriveIsTaken) {
  programa.ToolbarEnabled = false;
  Soltar({Raiz(u'D') / "Fotos"});
  EXPECT_EQ(programa.OCopia, nullptr);
  EXPECT_TRUE(mensajes.empty());

  programa.ToolbarEnabled = true;
  Soltar({"/proc/self", Raiz(u'D') / "Fotos"});  // no drive holds the first name
  EXPECT_EQ(programa.OCopia, nullptr);
  EXPECT_EQ(mensajes, std::vector<std::u16string>{u"Origen de copia no valido"});
  EXPECT_EQ(programa.Caption, NombrePrograma());
}

TEST_F(ArrastrarTest, ADropFromAnotherDriveShowsTheMessageAndChangesNothing) {
  ElegirOrigen(true);
  Seleccionar({u'F'});
  Soltar({Raiz(u'D') / "Fotos/suelto.bin"});
  const auto antes = Cola();
  programa.ToolButtonSumarRestarClick();

  EscribirAzar(Raiz(u'E') / "ajeno.bin", 100, 3);
  Soltar({Raiz(u'E') / "ajeno.bin"});
  EXPECT_EQ(mensajes, std::vector<std::u16string>{u"Origen de copia no valido"});
  EXPECT_EQ(programa.OCopia, Hilo(u'D'));
  EXPECT_EQ(programa.Botones[ToolButtonSumarRestar].ImageIndex, 8);
  const auto despues = Cola();
  ASSERT_EQ(despues.size(), antes.size());
  EXPECT_EQ(despues.begin()->second.destinos, antes.begin()->second.destinos);
}

TEST_F(ArrastrarTest, TheSourceAndADriveInErrorAreDeselected) {
  // A failed operation shows once the worker's wait for it runs out.
  programa.Entorno->TiempoError = 500;
  ElegirOrigen(false);
  ASSERT_TRUE(unidades->SoloLectura(u"F", true));
  Seleccionar({u'F'});
  Soltar({Raiz(u'D') / "Fotos/suelto.bin"});
  ASSERT_TRUE(Esperar([&] { return Hilo(u'F')->GetLEC() != 0; }));

  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  // Only those two: nothing to do, and no message.
  Seleccionar({u'D', u'F'});
  Soltar({Raiz(u'D') / "Fotos/Viaje"});
  EXPECT_FALSE(vista.Selected(Indice(u'D')));
  EXPECT_FALSE(vista.Selected(Indice(u'F')));
  EXPECT_TRUE(mensajes.empty());
  EXPECT_EQ(Cola().count(u"Fotos\\Viaje"), 0u);

  Seleccionar({u'D', u'E', u'F'});
  Soltar({Raiz(u'D') / "Fotos/Viaje"});
  EXPECT_EQ(vista.seleccion, (std::vector<bool>{false, true, false, false}));
  for (const auto& [nombre, rec] : Cola()) {
    if (nombre == u"Fotos\\suelto.bin") continue;
    EXPECT_EQ(rec.destinos, std::vector<TIdDestino>{Hilo(u'E')->GetId()});
  }
}

// A whole drive dropped gives what it holds. Names on another drive than the first name's are
// not read from the source and are left out.
TEST_F(ArrastrarTest, AWholeDriveGivesItsContentsAndOtherDrivesAreLeftOut) {
  ElegirOrigen(true);
  Seleccionar({u'E'});
  EscribirAzar(Raiz(u'F') / "Fotos/ajeno.bin", 100, 3);
  Soltar({Raiz(u'D'), Raiz(u'F') / "Fotos/ajeno.bin"});
  const auto cola = Cola();
  EXPECT_EQ(cola.count(u""), 0u);
  EXPECT_EQ(cola.count(u"Fotos\\ajeno.bin"), 0u);
  EXPECT_EQ(cola.count(u"Fotos"), 1u);
  EXPECT_EQ(cola.count(u"Fotos\\Viaje\\sub\\c.bin"), 1u);
}

// A mount point may hold backslashes, the separator of the program's names: entries dropped
// from such a drive without their path, and copied to another such drive, still land at its
// root, and no folder is made beside it. Plain folders of a fake table, so that it runs anywhere.
TEST(ArrastrarMontajeTest, MountPointsHoldingBackslashesKeepEveryEntryOnItsDrive) {
  testing_support::TempFolder carpeta;
  ASSERT_TRUE(carpeta.ok());
  const fs::path fuente = carpeta.path() + "/fuente\\uno", stick = carpeta.path() + "/stick\\dos";
  EscribirAzar(fuente / "Fotos/a.bin", 5000, 1);
  EscribirAzar(fuente / "Fotos/sub/b.bin", 700, 2);
  EscribirAzar(fuente / "suelto.bin", 300, 3);
  fs::create_directories(stick);
  auto unidades = platform::MakeFakeDrives();
  unidades->Put({u"", fuente.string(), u"FUENTE", 0xD0, platform::DRIVE_FIXED, 512, true});
  unidades->Put({u"", stick.string(), u"STICK", 0xE0, platform::DRIVE_REMOVABLE, 512, true});
  platform::SetDrives(unidades);
  {
    testing_support::VistaSimple vista;
    TPrograma programa(vista);
    programa.FormCreate();
    programa.UsarCaminoOrigen = false;
    const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    ASSERT_EQ(hilos.size(), 2u);
    vista.SetSelected(0, false);
    vista.SetSelected(1, true);
    programa.WMDropFiles({(fuente / "Fotos").string(), (fuente / "suelto.bin").string()});
    EXPECT_EQ(programa.OCopia, hilos[0]);
    EXPECT_TRUE(EsperarTrabajos(hilos));
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }
  platform::SetDrives(nullptr);
  EXPECT_EQ(CompararArboles((fuente / "Fotos").string(), (stick / "Fotos").string()), "");
  EXPECT_TRUE(MismoContenido(fuente / "suelto.bin", stick / "suelto.bin"));
  EXPECT_FALSE(fs::exists(fs::path(carpeta.path()) / "stick"));
  EXPECT_FALSE(fs::exists(stick / "uno"));
}

}  // namespace

// The folder scan and the listing files of drives, on a fake drive table over temporary folders
// and on a real loop-mounted volume.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "records/Listado.h"
#include "app/TPrograma.h"
#include "platform/drives.h"
#include "platform/locale.h"
#include "tests/support/esperar.h"
#include "tests/support/loop_volume.h"
#include "tests/support/temp_folder.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;

constexpr std::int32_t kVersion = 42563;
constexpr platform::FileTime kEpocaUnix = 116444736000000000ULL;
constexpr std::int64_t kPrimero = 1625480130;  // 2021-07-05 10:15:30 UTC
constexpr std::int64_t kSegundo = 1656000000;  // 2022-06-23

platform::FileTime Hora(std::int64_t segundos_unix) {
  return kEpocaUnix + static_cast<platform::FileTime>(segundos_unix) * 10000000ULL;
}

std::string NombreListado() {
  const std::u16string nombre = NombrePrograma() + u".lst";
  return std::string(nombre.begin(), nombre.end());
}

std::string Utf8(const std::u16string& texto) { return platform::ToUtf8(texto); }

std::vector<std::u16string> Nombres(const std::deque<std::unique_ptr<TFRec>>& lista) {
  std::vector<std::u16string> nombres;
  for (const auto& rec : lista) nombres.push_back(rec->ONombre);
  return nombres;
}

std::string Mostrar(const std::vector<std::u16string>& nombres) {
  std::string texto;
  for (const auto& n : nombres) texto += "[" + Utf8(n) + "]";
  return texto;
}

const TFRec* Registro(const std::deque<std::unique_ptr<TFRec>>& lista, const std::u16string& n) {
  for (const auto& rec : lista) {
    if (rec->ONombre == n) return rec.get();
  }
  return nullptr;
}

class ListadosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(raiz.ok());
    drives = platform::MakeFakeDrives();
    platform::SetDrives(drives);
  }
  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
  }

  // Drive `letra` over the folder `relativo` of the test's folder.
  void Unidad(char16_t letra, const std::string& relativo, const std::u16string& etiqueta) {
    fs::create_directories(raiz.path() + "/" + relativo);
    drives->Put({std::u16string(1, letra), raiz.path() + "/" + relativo, etiqueta, 0x100u + letra});
  }
  std::string Ruta(const std::string& relativo) const { return raiz.path() + "/" + relativo; }
  void Archivo(const std::string& relativo, std::size_t talla, std::int64_t segundos) {
    fs::create_directories(fs::path(Ruta(relativo)).parent_path());
    std::ofstream(Ruta(relativo), std::ios::binary) << std::string(talla, 'x');
    const struct timespec tiempos[2] = {{segundos, 0}, {segundos, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Ruta(relativo).c_str(), tiempos, 0), 0);
  }
  std::shared_ptr<TDHilo> Por(char16_t letra) const {
    for (const auto& hilo : programa.DList) {
      if (hilo->GetAppRec().Letra == std::u16string(1, letra)) return hilo;
    }
    return nullptr;
  }
  int Fila(char16_t letra) const {
    for (std::size_t i = 0; i < programa.DList.size(); ++i) {
      if (programa.DList[i]->GetAppRec().Letra == std::u16string(1, letra)) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  // The listing file as it lies on the drive's folder, read without the program.
  std::deque<std::unique_ptr<TFRec>> Listado(const std::string& carpeta) const {
    std::ifstream archivo(Ruta(carpeta) + "/" + NombreListado(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(archivo)),
                            std::istreambuf_iterator<char>());
    return LeerListadoBytes(bytes, kVersion);
  }
  void Listar(char16_t letra) {
    auto hilo = Por(letra);
    ASSERT_NE(hilo, nullptr);
    programa.CrearListado(*hilo);
  }

  testing_support::TempFolder raiz;
  std::shared_ptr<platform::FakeDrives> drives;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(ListadosTest, TheFirstListingHoldsTheDriveInNameOrder) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/b.txt", 3, kPrimero);
  Archivo("E/A/x.bin", 5, kPrimero + 60);
  Archivo("E/a.txt", 1, kPrimero);
  fs::create_directory(Ruta("E/vacia"));
  programa.FormCreate();
  Listar(u'E');

  std::ifstream archivo(Ruta("E/" + NombreListado()), std::ios::binary);
  char cabecera[8] = {};
  archivo.read(cabecera, 8);
  EXPECT_EQ(std::string(cabecera, 8), std::string("\x43\xA6\0\0\x05\0\0\0", 8));

  const auto listado = Listado("E");
  EXPECT_EQ(Nombres(listado),
            (std::vector<std::u16string>{u"A", u"a.txt", u"A\\x.bin", u"b.txt", u"vacia"}))
      << Mostrar(Nombres(listado));
  const TFRec* x = Registro(listado, u"A\\x.bin");
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->Talla, 5);
  EXPECT_EQ(x->Tiempo.ETiempo, Hora(kPrimero + 60));
  EXPECT_EQ(x->Atributos, platform::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(Registro(listado, u"A")->Atributos, platform::FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(Registro(listado, u"A")->Talla, 0);

  // The program reads back what it wrote; the worker runs again and the progress is gone.
  EXPECT_EQ(Nombres(programa.LeerListado(*Por(u'E'))), Nombres(listado));
  EXPECT_FALSE(Por(u'E')->Suspended());
  EXPECT_TRUE(programa.ProgresoTexto.empty());
  EXPECT_EQ(programa.ProgresoValor, 0);
}

// An entry once listed stays, with the size and times it was first listed with.
TEST_F(ListadosTest, LaterListingsKeepWhatWasListed) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/a.txt", 5, kPrimero);
  Archivo("E/b.txt", 3, kPrimero);
  programa.FormCreate();
  Listar(u'E');

  fs::remove(Ruta("E/a.txt"));
  Archivo("E/b.txt", 10, kSegundo);
  Archivo("E/c.txt", 7, kSegundo);
  Listar(u'E');

  const std::u16string lst = NombrePrograma() + u".lst";
  auto listado = Listado("E");
  ASSERT_EQ(Nombres(listado), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.txt", lst}))
      << Mostrar(Nombres(listado));
  const struct {
    const char16_t* nombre;
    std::int64_t talla, segundos;
  } esperados[] = {{u"a.txt", 5, kPrimero}, {u"b.txt", 3, kPrimero}, {u"c.txt", 7, kSegundo}};
  for (const auto& e : esperados) {
    const TFRec* rec = Registro(listado, e.nombre);
    EXPECT_EQ(rec->Talla, e.talla) << Utf8(e.nombre);
    EXPECT_EQ(rec->Tiempo.ETiempo, Hora(e.segundos)) << Utf8(e.nombre);
  }

  // Even a drive emptied keeps every name.
  for (const char* n : {"E/b.txt", "E/c.txt"}) fs::remove(Ruta(n));
  Listar(u'E');
  EXPECT_EQ(Nombres(Listado("E")), Nombres(listado));
}

// A listing that cannot be used whole counts for what it holds whole: nothing when its version
// differs, the records before the damage otherwise.
TEST_F(ListadosTest, AnOldListingCountsForItsWholeRecordsOfThisVersion) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/a.txt", 5, kPrimero);
  programa.FormCreate();
  auto Viejo = [](std::int32_t version, std::size_t cortar) {
    std::string bytes;
    EscribirEntero(bytes, version);
    EscribirEntero(bytes, 2);
    for (const char16_t* nombre : {u"borrado1", u"borrado2"}) {
      TFRec rec;
      rec.ONombre = nombre;
      rec.Talla = 77;
      rec.EscribirOrigen(bytes);
    }
    bytes.resize(bytes.size() - cortar);
    return bytes;
  };
  const std::u16string lst = NombrePrograma() + u".lst";
  const struct {
    const char* caso;
    std::string bytes;
    std::vector<std::u16string> nombres;
  } casos[] = {
      {"another version", Viejo(kVersion - 1, 0), {u"a.txt", lst}},
      {"cut in the second record", Viejo(kVersion, 5), {u"a.txt", u"borrado1", lst}},
      {"whole", Viejo(kVersion, 0), {u"a.txt", u"borrado1", u"borrado2", lst}},
  };
  for (const auto& c : casos) {
    std::ofstream(Ruta("E/" + NombreListado()), std::ios::binary | std::ios::trunc) << c.bytes;
    Listar(u'E');
    const auto listado = Listado("E");
    EXPECT_EQ(Nombres(listado), c.nombres) << c.caso << ": " << Mostrar(Nombres(listado));
    if (const TFRec* borrado = Registro(listado, u"borrado1")) {
      EXPECT_EQ(borrado->Talla, 77);
    }
  }
}

TEST_F(ListadosTest, AsciiCaseMergesAccentedCaseDoesNot) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/readme.TXT", 5, kPrimero);
  Archivo(Utf8(u"E/\u00E9.txt"), 5, kPrimero);
  programa.FormCreate();
  Listar(u'E');
  fs::remove(Ruta("E/readme.TXT"));
  fs::remove(Ruta(Utf8(u"E/\u00E9.txt")));
  Archivo("E/README.txt", 8, kSegundo);
  Archivo(Utf8(u"E/\u00C9.txt"), 8, kSegundo);
  Listar(u'E');

  const auto listado = Listado("E");
  EXPECT_EQ(Nombres(listado), (std::vector<std::u16string>{NombrePrograma() + u".lst",
                                                           u"readme.TXT", u"\u00C9.txt",
                                                           u"\u00E9.txt"}))
      << Mostrar(Nombres(listado));
  EXPECT_EQ(Registro(listado, u"readme.TXT")->Talla, 5);
  EXPECT_EQ(Registro(listado, u"\u00C9.txt")->Talla, 8);
}

// Pre-order with the names a drop makes: ONombre from the drive's root, DNombre from `base`.
TEST_F(ListadosTest, ScanOrderAndNames) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/Fotos/Viaje/a.jpg", 4, kPrimero);
  Archivo("E/Fotos/Viaje/dia/b.jpg", 4, kPrimero);
  Archivo("E/Fotos/Viaje/...", 1, kPrimero);  // a real name, not a special one
  fs::create_directories(Ruta("E/Fotos/Viaje/vacia"));
  Archivo("E/Fotos/fuera.jpg", 4, kPrimero);

  platform::FindData W;
  W.Name = u"Viaje";
  W.Attributes = platform::FILE_ATTRIBUTE_DIRECTORY;
  std::deque<std::unique_ptr<TFRec>> lista;
  programa.AgregarFR(lista, u"E:\\Fotos\\Viaje", 9, W);

  std::vector<std::u16string> nombres = Nombres(lista);
  const std::vector<std::u16string> esperados = {
      u"Fotos\\Viaje",           u"Fotos\\Viaje\\a.jpg",         u"Fotos\\Viaje\\dia",
      u"Fotos\\Viaje\\dia\\b.jpg", u"Fotos\\Viaje\\...", u"Fotos\\Viaje\\vacia"};
  EXPECT_EQ(nombres.front(), u"Fotos\\Viaje");
  std::vector<std::u16string> ordenados = nombres;
  std::vector<std::u16string> esperados_ordenados = esperados;
  std::sort(ordenados.begin(), ordenados.end());
  std::sort(esperados_ordenados.begin(), esperados_ordenados.end());
  EXPECT_EQ(ordenados, esperados_ordenados) << Mostrar(nombres);
  // A folder's record comes before everything below it.
  auto posicion = [&](const std::u16string& n) {
    return std::find(nombres.begin(), nombres.end(), n) - nombres.begin();
  };
  EXPECT_LT(posicion(u"Fotos\\Viaje\\dia"), posicion(u"Fotos\\Viaje\\dia\\b.jpg"));
  for (const auto& rec : lista) {
    EXPECT_EQ(rec->DNombre, rec->ONombre.substr(6)) << Utf8(rec->ONombre);
    EXPECT_TRUE(rec->DList.empty());
  }

  // "." and ".." are never records, whatever their find data says.
  for (const char16_t* especial : {u".", u".."}) {
    W.Name = especial;
    programa.AgregarFR(lista, u"E:\\Fotos\\" + W.Name, 9, W);
  }
  EXPECT_EQ(lista.size(), esperados.size());

  // From the drive's root with base 3, DNombre is ONombre.
  std::deque<std::unique_ptr<TFRec>> todo;
  programa.RecorrerCarpeta(todo, u"E:\\", 3);
  EXPECT_EQ(todo.size(), esperados.size() + 2);
  for (const auto& rec : todo) EXPECT_EQ(rec->DNombre, rec->ONombre);
  // A folder that cannot be listed adds nothing.
  std::deque<std::unique_ptr<TFRec>> nada;
  programa.RecorrerCarpeta(nada, u"E:\\falta\\", 3);
  programa.RecorrerCarpeta(nada, u"Q:\\", 3);
  EXPECT_TRUE(nada.empty());
}

// Links to folders are followed; a link back into a folder being scanned is listed but not
// entered; links that lead nowhere are left out.
TEST_F(ListadosTest, LinksCyclesAndDanglingLinks) {
  Unidad(u'E', "E", u"STICK");
  Archivo("E/a/b/f.txt", 2, kPrimero);
  fs::create_directory_symlink("../..", Ruta("E/a/b/ciclo"));  // the drive's root
  fs::create_directory_symlink(".", Ruta("E/a/yo"));
  fs::create_directory_symlink("a/b", Ruta("E/otro"));         // elsewhere: entered
  fs::create_symlink("nada", Ruta("E/roto"));
  fs::create_symlink("bucle2", Ruta("E/bucle1"));
  fs::create_symlink("bucle1", Ruta("E/bucle2"));

  std::deque<std::unique_ptr<TFRec>> lista;
  programa.RecorrerCarpeta(lista, u"E:\\", 3);
  std::vector<std::u16string> nombres = Nombres(lista);
  std::sort(nombres.begin(), nombres.end());
  EXPECT_EQ(nombres, (std::vector<std::u16string>{u"a", u"a\\b", u"a\\b\\ciclo", u"a\\b\\f.txt",
                                                  u"a\\yo", u"otro", u"otro\\ciclo",
                                                  u"otro\\f.txt"}))
      << Mostrar(nombres);
  for (const auto& rec : lista) {
    if (rec->ONombre.ends_with(u"ciclo") || rec->ONombre.ends_with(u"yo")) {
      EXPECT_EQ(rec->Atributos, platform::FILE_ATTRIBUTE_DIRECTORY) << Utf8(rec->ONombre);
    }
  }
}

// Every throttled progress point shows its text; the throttle is made to fire each time.
TEST_F(ListadosTest, ProgressTexts) {
  Unidad(u'E', "E", u"STICK");
  for (int i = 0; i < 4; ++i) Archivo("E/f" + std::to_string(i), 1, kPrimero);
  programa.FormCreate();
  programa.Entorno->IntervaloTimer = 0;
  programa.AnchoBarraMemoria = 100;
  std::vector<std::pair<std::u16string, std::int32_t>> vistos;
  programa.RepintarMemoria = [&] {
    vistos.emplace_back(programa.ProgresoTexto, programa.ProgresoValor);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the next point is later
  };
  Listar(u'E');
  const std::vector<std::pair<std::u16string, std::int32_t>> esperados = {
      {u"Creando lista 1", 0},          {u"Creando lista 2", 0},
      {u"Creando lista 3", 0},          {u"Creando lista 4", 0},
      {u"Guardando listado en STICK", 25}, {u"Guardando listado en STICK", 50},
      {u"Guardando listado en STICK", 75}, {u"Guardando listado en STICK", 100}};
  EXPECT_EQ(vistos, esperados);
}

// The rows are listed top first: E, F and G are nested folders, so each listing shows which
// listing files already existed when it was made.
TEST_F(ListadosTest, SelectedRowsAreListedTopFirst) {
  Unidad(u'E', "E", u"UNO");
  Unidad(u'F', "E/f", u"DOS");
  Unidad(u'G', "E/f/g", u"TRES");
  Unidad(u'H', "H", u"CUATRO");
  programa.FormCreate();
  for (char16_t letra : {u'E', u'F', u'G', u'H'}) {
    vista.SetSelected(Fila(letra), letra != u'H');
  }
  Por(u'F')->Suspend();
  std::vector<bool> cursor;
  programa.CursorOcupado = [&](bool ocupado) { cursor.push_back(ocupado); };

  programa.ToolButtonListarClick();

  const std::u16string lst = NombrePrograma() + u".lst";
  EXPECT_EQ(Nombres(Listado("E")), (std::vector<std::u16string>{u"f", u"f\\g"}));
  EXPECT_EQ(Nombres(Listado("E/f")), (std::vector<std::u16string>{u"g"}));
  EXPECT_EQ(Nombres(Listado("E/f/g")), std::vector<std::u16string>{});
  EXPECT_TRUE(fs::exists(Ruta("E/f/g/" + NombreListado())));
  EXPECT_FALSE(fs::exists(Ruta("H/" + NombreListado())));
  EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
  EXPECT_TRUE(programa.ToolbarEnabled);
  // Each worker is given back the state it had.
  EXPECT_FALSE(Por(u'E')->Suspended());
  EXPECT_TRUE(Por(u'F')->Suspended());
  EXPECT_FALSE(Por(u'G')->Suspended());

  programa.ToolButtonListarClick();
  EXPECT_EQ(Nombres(Listado("E")),
            (std::vector<std::u16string>{u"f", u"f\\g", u"f\\g\\" + lst, u"f\\" + lst, lst}));
}

// A real ext4 volume: listed, then made read-only, where a new listing cannot be written and
// the old one stays as it was.
TEST_F(ListadosTest, ARealVolumeAndThenReadOnly) {
  if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
  testing_support::LoopVolume volumen({.size_bytes = 32 << 20, .sector_size = 512,
                                       .label = "ORSLST", .uuid = ""});
  ASSERT_TRUE(volumen.ok()) << volumen.error();
  const std::string mp = volumen.mount_point();
  fs::create_directories(mp + "/Fotos/Viaje");
  std::ofstream(mp + "/Fotos/Viaje/a.jpg") << "jpeg";
  fs::create_directory_symlink("..", mp + "/Fotos/Viaje/arriba");
  drives->Put({u"E", mp, u"ORSLST", 0x1157AD05u});
  programa.FormCreate();

  Listar(u'E');
  const std::string ruta = mp + "/" + NombreListado();
  std::string escrito;
  ASSERT_TRUE(LeerArchivoCompleto(ruta, &escrito));
  EXPECT_EQ(Nombres(LeerListadoBytes(escrito, kVersion)),
            (std::vector<std::u16string>{u"Fotos", u"Fotos\\Viaje", u"Fotos\\Viaje\\a.jpg",
                                         u"Fotos\\Viaje\\arriba", u"lost+found"}));

  fs::remove(mp + "/Fotos/Viaje/a.jpg");
  ASSERT_TRUE(testing_support::RunCommand("mount -o remount,ro " + mp));
  Listar(u'E');
  std::string despues;
  ASSERT_TRUE(LeerArchivoCompleto(ruta, &despues));
  EXPECT_EQ(despues, escrito);
  EXPECT_FALSE(Por(u'E')->Suspended());
  EXPECT_TRUE(programa.ProgresoTexto.empty());
}

}  // namespace

// The whole record of a copy list: its bytes, and the reading that gives a record the present
// drives that still need its entry.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/BuscarPorID.h"
#include "engine/RegistroCopia.h"
#include "engine/TDHilo.h"
#include "records/TFRec.h"
#include "tests/support/esperar.h"
#include "tests/support/scoped_drives.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::Esperar;

constexpr std::int64_t kMomento = 1625480130;  // 2021-07-05 10:15:30 UTC
constexpr platform::FileTime kEpocaUnix = 116444736000000000ULL;

// Workers known by the identity a refresh gives them; ended when the test ends.
class Trabajadores {
 public:
  ~Trabajadores() {
    for (auto& hilo : hilos_) hilo->Terminate();
    for (auto& hilo : hilos_) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }
  TDHilo* Nuevo(char16_t letra, std::uint32_t serie, const std::string& montaje = "") {
    hilos_.push_back(TDHilo::Create(entorno_));
    hilos_.back()->SetAppRec({u"", std::u16string(1, letra), serie, 512, 4096, montaje});
    return hilos_.back().get();
  }
  // A destination of the first worker made, in that worker's table.
  std::shared_ptr<TDHilo> Destino(char16_t letra, std::uint32_t serie) {
    Nuevo(letra, serie);
    hilos_.back()->SetOD(hilos_.front());
    return hilos_.back();
  }

 private:
  std::shared_ptr<TEntorno> entorno_ = std::make_shared<TEntorno>();
  std::vector<std::shared_ptr<TDHilo>> hilos_;
};

TEST(TFRecTodo, BytesOfARecordWithOneDestination) {
  Trabajadores trabajadores;
  TDHilo* fuente = trabajadores.Nuevo(u'D', 1);
  const auto destino = trabajadores.Destino(u'E', 0x11223344);
  TFRec rec;
  rec.ONombre = u"ab";
  rec.DNombre = u"cd";
  rec.DList = {destino->GetId()};
  std::string bytes;
  EscribirTodo(rec, *fuente, bytes);
  ASSERT_EQ(bytes.size(), 60u);
  std::string origen;
  rec.EscribirOrigen(origen);
  EXPECT_EQ(bytes.substr(0, 44), origen);
  EXPECT_EQ(bytes.substr(44), std::string("\x02\0\0\0c\0d\0\x01\0\0\0\x44\x33\x22\x11", 16));

  // A destination withdrawn from the source is not written, and the count says so.
  fuente->AgregarEliminarDestino(destino);
  std::string sin_destino;
  EscribirTodo(rec, *fuente, sin_destino);
  EXPECT_EQ(sin_destino.substr(44), std::string("\x02\0\0\0c\0d\0\0\0\0\0", 12));
}

TEST(BuscarPorID, LeftmostMatchInASortedList) {
  Trabajadores trabajadores;
  EXPECT_EQ(BuscarPorID({}, 5), nullptr);
  const std::vector<TDHilo*> lista = {
      trabajadores.Nuevo(u'C', 3), trabajadores.Nuevo(u'D', 7), trabajadores.Nuevo(u'E', 7),
      trabajadores.Nuevo(u'F', 7), trabajadores.Nuevo(u'G', 0x80000000u)};
  const struct {
    std::uint32_t serie;
    TDHilo* esperado;
  } casos[] = {{3, lista[0]}, {7, lista[1]}, {0x80000000u, lista[4]},
               {0, nullptr},  {5, nullptr},  {0xFFFFFFFFu, nullptr}};
  for (const auto& c : casos) EXPECT_EQ(BuscarPorID(lista, c.serie), c.esperado) << c.serie;
}

class LeerTodoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"e", "f", "g"}) std::filesystem::create_directory(Carpeta(d));
    drives.Put(u'E', Carpeta("e"));
    drives.Put(u'F', Carpeta("f"));
    drives.Put(u'G', Carpeta("g"));
    E = trabajadores.Nuevo(u'E', 0xE, Carpeta("e"));
    F = trabajadores.Nuevo(u'F', 0xF, Carpeta("f"));
    G = trabajadores.Nuevo(u'G', 0x6, Carpeta("g"));
    por_id = {G, E, F};
    // E holds the entry (same size, same minute); F holds another size; G nothing.
    Archivo("e/dir/a.bin", "12345", kMomento + 20);
    Archivo("f/dir/a.bin", "1234", kMomento);
    std::filesystem::create_directories(Carpeta("e/carpeta"));
    std::filesystem::create_directories(Carpeta("f/carpeta"));
    std::filesystem::create_directories(Carpeta("g/carpeta"));
  }
  std::string Carpeta(const std::string& relativo) const { return raiz.path() + "/" + relativo; }
  void Archivo(const std::string& relativo, const std::string& contenido, std::int64_t segundos) {
    std::filesystem::create_directories(std::filesystem::path(Carpeta(relativo)).parent_path());
    std::ofstream(Carpeta(relativo)) << contenido;
    const struct timespec tiempos[2] = {{segundos, 0}, {segundos, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Carpeta(relativo).c_str(), tiempos, 0), 0);
  }
  // A whole record as a copy list holds it, with the serials given.
  static std::string Registro(const std::u16string& nombre, std::int64_t talla,
                              std::uint32_t atributos, std::vector<std::uint32_t> series) {
    TFRec rec;
    rec.ONombre = u"origen\\" + nombre;
    rec.DNombre = nombre;
    rec.Talla = talla;
    rec.Atributos = atributos;
    rec.Tiempo.ETiempo = kEpocaUnix + kMomento * 10000000ULL;
    std::string bytes;
    rec.EscribirOrigen(bytes);
    EscribirCadena(bytes, rec.DNombre);
    EscribirEntero(bytes, static_cast<std::int32_t>(series.size()));
    for (std::uint32_t serie : series) EscribirPalabra(bytes, serie);
    return bytes;
  }

  testing_support::TempFolder raiz;
  testing_support::ScopedFakeDrives drives;
  Trabajadores trabajadores;
  TDHilo *E = nullptr, *F = nullptr, *G = nullptr;
  std::vector<TDHilo*> por_id;
};

TEST_F(LeerTodoTest, GivesThePresentDrivesThatLackTheEntry) {
  const struct {
    const char* caso;
    std::u16string nombre;
    std::int64_t talla;
    std::uint32_t atributos;
    std::vector<std::uint32_t> series;
    std::vector<TDHilo*> destinos;
  } casos[] = {
      // Unknown serial 0x99 left out; F named twice given once; file order kept.
      {"file", u"dir\\a.bin", 5, 0x20, {0xE, 0x99, 0xF, 0x6, 0xF}, {F, G}},
      {"held everywhere", u"dir\\a.bin", 5, 0x20, {0xE}, {}},
      {"folder present everywhere", u"carpeta", 0, 0x10, {0xE, 0xF, 0x6}, {}},
      {"no destinations", u"dir\\a.bin", 5, 0x20, {}, {}},
  };
  for (const auto& c : casos) {
    const std::string bytes = Registro(c.nombre, c.talla, c.atributos, c.series);
    TFRec rec;
    TLector lector(bytes);
    bool con_destinos = c.destinos.empty();  // the opposite of what is expected
    ASSERT_TRUE(LeerTodo(*platform::DefaultEnv(), rec, lector, por_id, &con_destinos)) << c.caso;
    EXPECT_EQ(lector.Restante(), 0u) << c.caso;
    std::vector<TIdDestino> esperados;
    for (const TDHilo* destino : c.destinos) esperados.push_back(destino->GetId());
    EXPECT_EQ(rec.DList, esperados) << c.caso;
    EXPECT_EQ(con_destinos, !c.destinos.empty()) << c.caso;
    EXPECT_EQ(rec.DNombre, c.nombre) << c.caso;
    EXPECT_EQ(rec.ONombre, u"origen\\" + c.nombre) << c.caso;
  }
}

TEST_F(LeerTodoTest, DamagedRecordsFailWithoutDestinations) {
  const std::string bytes = Registro(u"dir\\a.bin", 5, 0x20, {0xF, 0x6});
  for (std::size_t corte = 0; corte < bytes.size(); ++corte) {
    TFRec rec;
    TLector lector(std::string_view(bytes).substr(0, corte));
    bool con_destinos = false;
    EXPECT_FALSE(LeerTodo(*platform::DefaultEnv(), rec, lector, por_id, &con_destinos)) << corte;
    EXPECT_TRUE(rec.DList.empty()) << corte;
  }
  // A negative count, or one the bytes cannot hold, is a read failure.
  std::string cabecera = Registro(u"dir\\a.bin", 5, 0x20, {});
  cabecera.resize(cabecera.size() - 4);
  for (std::int32_t cuenta : {-1, 3, 0x7FFFFFFF}) {
    std::string danado = cabecera;
    EscribirEntero(danado, cuenta);
    EscribirPalabra(danado, 0xF);
    EscribirPalabra(danado, 0x6);
    TFRec rec;
    TLector lector(danado);
    bool con_destinos = false;
    EXPECT_FALSE(LeerTodo(*platform::DefaultEnv(), rec, lector, por_id, &con_destinos)) << cuenta;
    EXPECT_TRUE(rec.DList.empty()) << cuenta;
  }
}

}  // namespace

// A stick already written is checked against the manifest its copy left: every file the
// manifest lists is read back from the device and compared, nothing is copied, and the stick
// ends verified or in error naming every file that is missing or differs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/Manifiesto.h"
#include "engine/TFinComprobaciones.h"
#include "platform/errors.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/granja.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EscribirAzar;
using testing_support::Granja;

constexpr std::int64_t MiB = 1 << 20;

std::string Leer(const fs::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(ComprobarManifiesto, FindsOnEachStickWhatChangedAfterItsCopyAndCopiesNothing) {
  Granja granja({512}, {{512}, {512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path origen = granja.RaizOrigen();
  EscribirAzar(origen / "a/grande.bin", 5 * MiB + 123, 1);
  EscribirAzar(origen / "b.bin", 7000, 2);
  EscribirAzar(origen / "vacio.bin", 0, 3);
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());

  // Stick 0: other bytes in a file of the same size and time, which a size-and-minute check
  // cannot see. Stick 1: a file gone. Stick 2: as it was copied.
  const fs::path cambiado = fs::path(granja.RaizDestino(0)) / "b.bin";
  const auto hora = fs::last_write_time(cambiado);
  EscribirAzar(cambiado, 7000, 9);
  fs::last_write_time(cambiado, hora);
  fs::remove(fs::path(granja.RaizDestino(1)) / "a/grande.bin");
  const std::string manifiesto_antes = Leer(fs::path(granja.RaizDestino(2)) / "orsanta.xxh128");
  // An access time older than the file's last write, which a read would move on.
  const std::string leido_antes = (fs::path(granja.RaizDestino(2)) / "a/grande.bin").string();
  struct stat antes {};
  ASSERT_EQ(stat(leido_antes.c_str(), &antes), 0);
  const timespec tiempos[2] = {{antes.st_mtim.tv_sec - 1000, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(utimensat(AT_FDCWD, leido_antes.c_str(), tiempos, 0), 0);

  TFinComprobaciones terminados(granja.entorno->Eventos);
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    const TManifiestoLeido leido =
        LeerManifiesto(Leer(fs::path(granja.RaizDestino(i)) / "orsanta.xxh128"));
    ASSERT_EQ(leido.Malas, 0u) << i;
    ASSERT_EQ(leido.Archivos.size(), 3u) << i;
    ASSERT_TRUE(granja.destinos[i]->ComprobarManifiesto(leido.Archivos)) << i;
  }
  ASSERT_TRUE(testing_support::Esperar([&] { return terminados.Cuantos() == 3; }));
  // Checking a stick changes nothing on it, not even the access times of what it read.
  struct stat despues {};
  ASSERT_EQ(stat(leido_antes.c_str(), &despues), 0);
  EXPECT_EQ(despues.st_atim.tv_sec, antes.st_mtim.tv_sec - 1000);

  const struct {
    platform::ErrorCode codigo;
    std::vector<TArchivoFallido> fallidos;
  } esperado[] = {{platform::ERROR_CRC, {{u"b.bin", TFalla::Contenido}}},
                  {platform::ERROR_CRC, {{u"a\\grande.bin", TFalla::Falta}}},
                  {0, {}}};
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    const TInstantanea foto = granja.destinos[i]->GetInstantanea();
    EXPECT_EQ(foto.LEC, esperado[i].codigo) << i;
    EXPECT_EQ(foto.Comprobacion.Fallidos, esperado[i].fallidos) << i;
    EXPECT_EQ(foto.Comprobacion.Verificado, esperado[i].codigo == 0) << i;
    EXPECT_EQ(foto.Estado, esperado[i].codigo == 0 ? TEstado::Terminado : TEstado::Fallido) << i;
  }
  // Nothing was copied again, and the manifest was left as it was.
  EXPECT_FALSE(fs::exists(fs::path(granja.RaizDestino(1)) / "a/grande.bin"));
  EXPECT_NE(testing_support::CompararArboles(origen.string(), granja.RaizDestino(0)), "");
  EXPECT_EQ(Leer(fs::path(granja.RaizDestino(2)) / "orsanta.xxh128"), manifiesto_antes);
  const TInstantanea sano = granja.destinos[2]->GetInstantanea();
  EXPECT_EQ(sano.Comprobacion.Pos, 5 * MiB + 123 + 7000);
  EXPECT_EQ(sano.Comprobacion.Pos, sano.Comprobacion.Fin);
}

// A hostile stick, changed after its copy: a link at a listed name or at its folder, pointing
// outside at a FIFO of the file's name, fails that stick naming the entry; nothing is read
// through it, so nothing waits on the FIFO. A file where a folder was leaves its files missing.
TEST(ComprobarManifiesto, ALinkAtAListedNameOrItsFolderFailsTheStickAndIsNeverFollowed) {
  enum class Cambio { EnlaceArchivo, EnlaceCarpeta, ArchivoPorCarpeta };
  const struct {
    const char* nombre;
    Cambio cambio;
    platform::ErrorCode codigo;
    std::u16string muestra;
    std::vector<TArchivoFallido> fallidos;
  } casos[] = {
      {"link at the file", Cambio::EnlaceArchivo, platform::ERROR_CANT_RESOLVE_FILENAME,
       u"d\\c.bin", {}},
      {"link at its folder", Cambio::EnlaceCarpeta, platform::ERROR_CANT_RESOLVE_FILENAME,
       u"d\\c.bin", {}},
      {"file at its folder", Cambio::ArchivoPorCarpeta, platform::ERROR_CRC, u"",
       {{u"d\\c.bin", TFalla::Falta}, {u"d\\e.bin", TFalla::Falta}}},
  };
  for (const auto& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    Granja granja({512}, {{512}});
    if (!granja.ok()) GTEST_SKIP() << granja.error();
    EscribirAzar(fs::path(granja.RaizOrigen()) / "b.bin", 7000, 2);
    EscribirAzar(fs::path(granja.RaizOrigen()) / "d/c.bin", 3000, 3);
    EscribirAzar(fs::path(granja.RaizOrigen()) / "d/e.bin", 5000, 4);
    granja.Encolar();
    ASSERT_TRUE(granja.EsperarFin());
    testing_support::TempFolder fuera;
    ASSERT_EQ(mkfifo((fs::path(fuera.path()) / "c.bin").c_str(), 0600), 0);
    const fs::path carpeta = fs::path(granja.RaizDestino(0)) / "d";
    switch (caso.cambio) {
      case Cambio::EnlaceArchivo:
        fs::remove(carpeta / "c.bin");
        fs::create_symlink(fs::path(fuera.path()) / "c.bin", carpeta / "c.bin");
        break;
      case Cambio::EnlaceCarpeta:
        fs::remove_all(carpeta);
        fs::create_directory_symlink(fuera.path(), carpeta);
        break;
      case Cambio::ArchivoPorCarpeta:
        fs::remove_all(carpeta);
        std::ofstream(carpeta) << "not a folder";
        break;
    }

    TFinComprobaciones fin(granja.entorno->Eventos);
    const TManifiestoLeido leido =
        LeerManifiesto(Leer(fs::path(granja.RaizDestino(0)) / "orsanta.xxh128"));
    ASSERT_EQ(leido.Archivos.size(), 3u);
    ASSERT_TRUE(granja.destinos[0]->ComprobarManifiesto(leido.Archivos));
    ASSERT_TRUE(testing_support::Esperar([&] { return fin.Cuantos() == 1; }));
    const TInstantanea foto = granja.destinos[0]->GetInstantanea();
    EXPECT_EQ(foto.Estado, TEstado::Fallido);
    EXPECT_EQ(foto.LEC, caso.codigo);
    if (!caso.muestra.empty()) EXPECT_EQ(foto.Muestra.DNombre, caso.muestra);
    EXPECT_EQ(foto.Comprobacion.Fallidos, caso.fallidos);
    EXPECT_FALSE(foto.Comprobacion.Verificado);
  }
}

TEST(ComprobarManifiesto, TheSourceAndAnEmptyListAreNotChecked) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const std::vector<TRecibido> uno = {{u"x", u"x", 0, 0, {}, {}}};
  EXPECT_FALSE(granja.origen->ComprobarManifiesto(uno));
  EXPECT_FALSE(granja.destinos[0]->ComprobarManifiesto({}));
}

TEST(ComprobarManifiesto, ReadsWhatTheWriterWritesAndRefusesWhatLeavesTheDrive) {
  TRecibido normal{u"y", u"d\\e f.bin", 1, 0, {}, {0xabcdef, 0x12}};
  TRecibido barra{u"z", u"g\\h\xDC5Ci.bin", 1, 0, {}, {1, 2}};  // a backslash in a Linux name
  const TManifiestoLeido leido = LeerManifiesto(TextoManifiesto({normal, barra}));
  ASSERT_EQ(leido.Archivos.size(), 2u);
  EXPECT_EQ(leido.Malas, 0u);
  EXPECT_EQ(leido.Archivos[0].DNombre, normal.DNombre);
  EXPECT_EQ(leido.Archivos[0].Huella, normal.Huella);
  EXPECT_EQ(leido.Archivos[1].DNombre, barra.DNombre);

  const std::string h = "0123456789abcdef0123456789ABCDEF";
  const struct {
    std::string texto;
    std::size_t archivos, malas;
  } casos[] = {
      {h + "  a/b\r\n\n" + h + "  c\n", 2, 0},
      {h + "  ../fuera", 0, 1},
      {h + "  /etc/passwd", 0, 1},
      {h + "  a//b", 0, 1},
      {h + "  a/./b", 0, 1},
      {h + " a", 0, 1},
      {h.substr(1) + "x  a", 0, 1},
      {h.substr(0, 31) + "g  a", 0, 1},
      {h + "  ", 0, 1},
      {"\\" + h + "  a\\\\b", 0, 1},
  };
  for (const auto& caso : casos) {
    const TManifiestoLeido l = LeerManifiesto(caso.texto);
    EXPECT_EQ(l.Archivos.size(), caso.archivos) << caso.texto;
    EXPECT_EQ(l.Malas, caso.malas) << caso.texto;
  }
}

}  // namespace

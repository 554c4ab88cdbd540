// The program's own files: written atomically (a kill -9 in the middle of a write loop leaves the
// old file or the new one, whole), never written through or read through what a hostile stick
// puts at their names, and read with bounded memory; entries named by a list looked at without
// leaving their volume.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "platform/entry_beneath.h"
#include "platform/errors.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::Escribir;
using testing_support::Leer;

// Two contents of the same length that differ in every byte: a torn file mixes them.
constexpr std::size_t kTalla = 3 << 20;
std::string Contenido(char letra) { return std::string(kTalla, letra); }

// Run only as the child of KillNineInTheMiddleLeavesAWholeFile: writes the two contents in
// turn, for ever, to the file the parent names, and says when the first write is done.
TEST(AtomicFileChild, WriteLoop) {
  const char* ruta = std::getenv("ORSANTA_ESCRITURA_ATOMICA");
  if (ruta == nullptr) GTEST_SKIP() << "run by KillNineInTheMiddleLeavesAWholeFile";
  const std::string a = Contenido('a'), b = Contenido('b');
  for (unsigned vuelta = 0;; ++vuelta) {
    if (!WriteFileAtomic(std::string(ruta), vuelta % 2 ? b : a)) std::_Exit(3);
    if (vuelta == 0) Escribir(std::string(ruta) + ".listo", "1");
  }
}

TEST(AtomicFileTest, KillNineInTheMiddleLeavesAWholeFile) {
  testing_support::TempFolder carpeta;
  ASSERT_TRUE(carpeta.ok());
  const fs::path ruta = fs::path(carpeta.path()) / "ajustes.cfg";
  const std::string a = Contenido('a'), b = Contenido('b');
  for (int ronda = 0; ronda < 8; ++ronda) {
    SCOPED_TRACE(ronda);
    fs::remove(ruta.string() + ".listo");
    const std::string variable = "ORSANTA_ESCRITURA_ATOMICA=" + ruta.string();
    char* const argumentos[] = {const_cast<char*>("atomic_file_child"),
                                const_cast<char*>("--gtest_filter=AtomicFileChild.WriteLoop"),
                                nullptr};
    char* const entorno[] = {const_cast<char*>(variable.c_str()), nullptr};
    const pid_t hijo = fork();
    ASSERT_GE(hijo, 0);
    if (hijo == 0) {
      // Only async-signal-safe calls before exec: the test program runs its loop afresh.
      execve("/proc/self/exe", argumentos, entorno);
      _exit(127);
    }
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(ruta.string() + ".listo") && std::chrono::steady_clock::now() < limite) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A different moment of the loop each round.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 + 7 * ronda));
    ASSERT_EQ(kill(hijo, SIGKILL), 0);
    int estado = 0;
    ASSERT_EQ(waitpid(hijo, &estado, 0), hijo);
    ASSERT_TRUE(WIFSIGNALED(estado)) << "the writer ended by itself: " << estado;
    const std::string leido = Leer(ruta);
    EXPECT_TRUE(leido == a || leido == b) << "a torn file of " << leido.size() << " bytes";
  }
}

TEST(AtomicFileTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  testing_support::TempFolder carpeta;
  const fs::path ruta = fs::path(carpeta.path()) / "lista.orsc";
  ASSERT_TRUE(WriteFileAtomic(ruta.string(), "viejo"));
  // A folder at the temporary's name: the new file cannot even be started.
  fs::create_directory(fs::path(carpeta.path()) / ".lista.orsc.tmp");
  fs::create_directory(fs::path(carpeta.path()) / ".lista.orsc.tmp" / "dentro");
  EXPECT_FALSE(WriteFileAtomic(ruta.string(), "nuevo"));
  EXPECT_EQ(Leer(ruta), "viejo");
  fs::remove_all(fs::path(carpeta.path()) / ".lista.orsc.tmp");
  // A folder at the name itself: the rename fails and the temporary goes.
  const fs::path carpeta_en_nombre = fs::path(carpeta.path()) / "ocupado";
  fs::create_directories(carpeta_en_nombre / "x");
  EXPECT_FALSE(WriteFileAtomic(carpeta_en_nombre.string(), "nuevo"));
  EXPECT_TRUE(fs::is_directory(carpeta_en_nombre / "x"));
  EXPECT_FALSE(fs::exists(fs::path(carpeta.path()) / ".ocupado.tmp"));
  // A folder that is not there.
  EXPECT_FALSE(WriteFileAtomic(carpeta.path() + "/no/hay.cfg", "x"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// What a hostile stick puts at the name, or at the temporary's name, is replaced; nothing is
// written through it.
TEST(AtomicFileTest, LinksAndFifosAtTheNamesAreReplacedNeverWrittenThrough) {
  testing_support::TempFolder carpeta, fuera;
  const fs::path raiz(carpeta.path());
  const fs::path victima = fs::path(fuera.path()) / "hostname";
  Escribir(victima, "intacto");
  const FolderHandle handle(raiz.string());
  ASSERT_TRUE(handle.ok());

  fs::create_symlink(victima, raiz / "Orsanta.lst");
  fs::create_symlink(victima, raiz / ".Orsanta.lst.tmp");
  ASSERT_TRUE(WriteFileAtomic(handle, "Orsanta.lst", "listado"));
  EXPECT_EQ(Leer(victima), "intacto");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(raiz / "Orsanta.lst")));
  EXPECT_EQ(Leer(raiz / "Orsanta.lst"), "listado");
  EXPECT_FALSE(fs::exists(fs::symlink_status(raiz / ".Orsanta.lst.tmp")));

  fs::remove(raiz / "Orsanta.lst");
  ASSERT_EQ(mkfifo((raiz / "Orsanta.lst").c_str(), 0644), 0);
  auto escritura = std::async(std::launch::async,
                              [&] { return WriteFileAtomic(handle, "Orsanta.lst", "otro"); });
  ASSERT_EQ(escritura.wait_for(std::chrono::seconds(10)), std::future_status::ready)
      << "blocked on a FIFO";
  EXPECT_TRUE(escritura.get());
  EXPECT_EQ(Leer(raiz / "Orsanta.lst"), "otro");

  // Names are one component.
  EXPECT_FALSE(WriteFileAtomic(handle, "../fuera", "x"));
  EXPECT_FALSE(WriteFileAtomic(handle, "..", "x"));
  EXPECT_FALSE(WriteFileAtomic(handle, "", "x"));
}

TEST(BoundedReadTest, OnlyARegularFileOfASaneSizeIsRead) {
  testing_support::TempFolder carpeta, fuera;
  const fs::path raiz(carpeta.path());
  const FolderHandle handle(raiz.string());
  Escribir(fs::path(fuera.path()) / "secreto", "de fuera");
  Escribir(raiz / "normal", "hola");
  Escribir(raiz / "grande", std::string(4097, 'g'));
  fs::create_symlink(fs::path(fuera.path()) / "secreto", raiz / "enlace");
  fs::create_symlink("/dev/zero", raiz / "cero");
  ASSERT_EQ(mkfifo((raiz / "fifo").c_str(), 0644), 0);
  fs::create_directory(raiz / "carpeta");

  const struct {
    const char* nombre;
    ReadOutcome esperado;
  } casos[] = {
      {"normal", ReadOutcome::kRead},       {"grande", ReadOutcome::kTooLarge},
      {"enlace", ReadOutcome::kNotRegular}, {"cero", ReadOutcome::kNotRegular},
      {"fifo", ReadOutcome::kNotRegular},   {"carpeta", ReadOutcome::kNotRegular},
      {"no_hay", ReadOutcome::kMissing},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    std::string bytes = "sin tocar";
    auto lectura = std::async(std::launch::async, [&] {
      return ReadFileBounded(handle, c.nombre, 4096, &bytes);
    });
    ASSERT_EQ(lectura.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "blocked";
    EXPECT_EQ(lectura.get(), c.esperado);
    EXPECT_EQ(bytes, c.esperado == ReadOutcome::kRead ? "hola" : "sin tocar");
  }
  // A file the user chose follows its links, and is still only read when regular and sane.
  std::string bytes;
  EXPECT_EQ(ReadFileBounded((raiz / "enlace").string(), 4096, &bytes), ReadOutcome::kRead);
  EXPECT_EQ(bytes, "de fuera");
  EXPECT_EQ(ReadFileBounded((raiz / "cero").string(), 4096, &bytes), ReadOutcome::kNotRegular);
  EXPECT_EQ(ReadFileBounded((raiz / "fifo").string(), 4096, &bytes), ReadOutcome::kNotRegular);
  EXPECT_EQ(ReadFileBounded((raiz / "grande").string(), 4096, &bytes), ReadOutcome::kTooLarge);
  EXPECT_EQ(ReadFileBounded((raiz / "normal").string(), 4, &bytes), ReadOutcome::kRead);
  EXPECT_EQ(bytes, "hola");
}

TEST(EntryBeneathTest, NamesThatLeaveTheVolumeOrNameNoFileAreRefused) {
  testing_support::TempFolder carpeta, fuera;
  const fs::path raiz(carpeta.path());
  Escribir(fs::path(fuera.path()) / "hostname", "de fuera");
  fs::create_directories(raiz / "Fotos" / "Viaje");
  Escribir(raiz / "Fotos" / "Viaje" / "a.bin", std::string(1234, 'a'));
  fs::create_symlink("Viaje/a.bin", raiz / "Fotos" / "dentro");  // stays below the root
  fs::create_symlink(fs::path(fuera.path()) / "hostname", raiz / "absoluto");
  fs::create_symlink("../../" + fs::path(fuera.path()).filename().string() + "/hostname",
                     raiz / "Fotos" / "relativo");
  fs::create_symlink(fuera.path(), raiz / "carpeta_fuera");
  ASSERT_EQ(mkfifo((raiz / "fifo").c_str(), 0644), 0);

  FileAttributeData datos;
  ASSERT_TRUE(GetFileAttributesBeneath(raiz.string(), u"Fotos\\Viaje\\a.bin", &datos));
  EXPECT_EQ(datos.Size, 1234);
  ASSERT_TRUE(GetFileAttributesBeneath(raiz.string(), u"Fotos\\dentro", &datos));
  EXPECT_EQ(datos.Size, 1234);
  ASSERT_TRUE(GetFileAttributesBeneath(raiz.string(), u"Fotos", &datos));
  EXPECT_EQ(datos.Attributes, FILE_ATTRIBUTE_DIRECTORY);

  for (const std::u16string nombre :
       {u"absoluto", u"Fotos\\relativo", u"carpeta_fuera\\hostname", u"..\\x", u"fifo"}) {
    SCOPED_TRACE(std::string(nombre.begin(), nombre.end()));
    EXPECT_FALSE(GetFileAttributesBeneath(raiz.string(), nombre, &datos));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_FALSE(GetFileAttributesBeneath(raiz.string(), u"Fotos\\no_hay.bin", &datos));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace platform

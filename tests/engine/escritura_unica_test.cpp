// Each byte of a copy is written once: a file shorter than a block in one buffered write of its
// exact bytes, a longer one sized to its length first and then written in blocks whose last
// holds exactly the file's end, with nothing cut afterwards. And the per-folder handle a stick
// keeps between files reaches the right folder however the folders alternate, and still
// replaces what an earlier job left there.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "engine/NombreTemporal.h"
#include "platform/env.h"
#include "platform/paths.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EscribirAzar;
using testing_support::Granja;

// Forwards to the real environment and notes, per file created on a drive, what was asked of
// it: the bytes written, how far the writes reached, and each change of length with whether a
// write had come before it.
class RegistroEscrituras final : public platform::EnvWrapper {
 public:
  struct Archivo {
    bool sin_bufer = false;
    std::int64_t escritos = 0;
    std::int64_t hasta = 0;
    int longitudes = 0;
    int longitudes_tras_escribir = 0;
  };

  RegistroEscrituras() : platform::EnvWrapper(platform::DefaultEnv()) {}

  platform::Handle OpenVolumeRoot(const std::string& mount_point) override {
    const platform::Handle root = target().OpenVolumeRoot(mount_point);
    std::lock_guard<std::mutex> lock(mutex_);
    if (root != platform::kInvalidHandle) rutas_[root] = mount_point;
    return root;
  }

  platform::Handle CreateFileAt(platform::Handle root, const std::u16string& path,
                                std::uint32_t access, std::uint32_t disposition,
                                std::uint32_t flags) override {
    const platform::Handle handle = target().CreateFileAt(root, path, access, disposition, flags);
    if (handle == platform::kInvalidHandle) return handle;
    std::lock_guard<std::mutex> lock(mutex_);
    std::u16string barras = path;
    for (char16_t& u : barras) {
      if (u == u'\\') u = u'/';
    }
    std::string bytes;
    platform::EncodeName(barras, &bytes);
    const std::string ruta = rutas_[root] + "/" + bytes;
    rutas_[handle] = ruta;
    if (disposition == platform::CREATE_NEW) {
      archivos_[ruta] = {};
      archivos_[ruta].sin_bufer = (flags & platform::FILE_FLAG_NO_BUFFERING) != 0;
    }
    return handle;
  }

  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t bytes,
                 platform::Overlapped* ov) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Archivo& a = archivos_[rutas_[file]];
      a.escritos += bytes;
      const std::int64_t desde =
          static_cast<std::int64_t>((std::uint64_t{ov->OffsetHigh} << 32) | ov->Offset);
      a.hasta = std::max(a.hasta, desde + bytes);
    }
    return target().WriteFile(file, buffer, bytes, ov);
  }

  bool SetEndOfFile(platform::Handle file) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Archivo& a = archivos_[rutas_[file]];
      ++a.longitudes;
      if (a.escritos > 0) ++a.longitudes_tras_escribir;
    }
    return target().SetEndOfFile(file);
  }

  // The file created under the temporary name of `ruta` (a path below a drive's mount point).
  Archivo De(const std::string& ruta) {
    const fs::path p(ruta);
    const std::u16string hoja = p.filename().u16string();
    std::string temporal;
    platform::EncodeName(NombreTemporal(hoja), &temporal);
    std::lock_guard<std::mutex> lock(mutex_);
    return archivos_[(p.parent_path() / temporal).string()];
  }

 private:
  std::mutex mutex_;
  std::map<platform::Handle, std::string> rutas_;  // guarded by mutex_
  std::map<std::string, Archivo> archivos_;        // guarded by mutex_
};

constexpr std::int64_t kMiB = 1 << 20;

struct Talla {
  const char* nombre;
  std::int64_t bytes;
};

TEST(EscrituraUnica, EveryByteIsWrittenOnceAndNothingIsCutAfterwards) {
  const Talla tallas[] = {
      {"un_byte", 1},          {"medio_sector", 300},     {"sector_4k", 4096},
      {"pequeno", 7000},       {"casi_bloque", 2 * kMiB - 1}, {"bloque", 2 * kMiB},
      {"bloque_y_5", 2 * kMiB + 5}, {"tres_bloques_cola_sector", 6 * kMiB - 512},
  };
  auto entorno = std::make_shared<RegistroEscrituras>();
  Granja granja({512}, {{512}, {4096}}, entorno);
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  unsigned semilla = 1;
  for (const Talla& t : tallas) {
    EscribirAzar(fs::path(granja.RaizOrigen()) / "d" / t.nombre, t.bytes, semilla++);
  }
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());

  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EXPECT_EQ(granja.destinos[i]->GetLEC(), 0u) << i;
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
        << i;
    for (const Talla& t : tallas) {
      SCOPED_TRACE(std::string(t.nombre) + " on stick " + std::to_string(i));
      const auto a = entorno->De(granja.RaizDestino(i) + "/d/" + t.nombre);
      EXPECT_EQ(a.escritos, t.bytes);
      EXPECT_EQ(a.hasta, t.bytes);
      EXPECT_EQ(a.longitudes_tras_escribir, 0);
      const bool entera = t.bytes >= 2 * kMiB;
      EXPECT_EQ(a.sin_bufer, entera);
      EXPECT_EQ(a.longitudes, entera ? 1 : 0);
    }
  }
}

// Pre-order brings a folder's files around its subfolder's, so the stick's open folder goes
// a -> a/sub -> a; each time the names land where they belong. What an earlier job left in a
// folder met again (a copy under a temporary name, a read-only file under a final one) is
// replaced, and no temporary name is left.
TEST(EscrituraUnica, FilesLandInTheirFoldersAsTheOpenFolderChanges) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path origen = granja.RaizOrigen();
  EscribirAzar(origen / "a/1.txt", 1000, 1);
  EscribirAzar(origen / "a/sub/2.txt", 2000, 2);
  EscribirAzar(origen / "a/sub/hondo/3.txt", 3000, 3);
  EscribirAzar(origen / "a/z.txt", 4000, 4);
  EscribirAzar(origen / "b/1.txt", 5000, 5);
  EscribirAzar(origen / "raiz.txt", 6000, 6);

  const fs::path stick = granja.RaizDestino(0);
  EscribirAzar(stick / "a/z.txt", 10, 7);
  fs::permissions(stick / "a/z.txt", fs::perms::owner_read | fs::perms::group_read);
  std::string temporal;
  platform::EncodeName(NombreTemporal(u"z.txt"), &temporal);
  EscribirAzar(stick / "a" / temporal, 20, 8);
  platform::EncodeName(NombreTemporal(u"1.txt"), &temporal);
  EscribirAzar(stick / "b" / temporal, 30, 9);

  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(granja.destinos[0]->GetLEC(), 0u);
  // Contents, times and read-only state of every entry, and no name left over.
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(0)), "");
}

}  // namespace

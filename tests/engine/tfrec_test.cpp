// File records: their destination lists, the reordering of the source's queue, and the test of
// whether a drive already holds an entry.
#include "records/TFRec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/TDHilo.h"
#include "tests/support/esperar.h"
#include "tests/support/scoped_drives.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr TIdDestino A = 0xA0;
constexpr TIdDestino B = 0xB0;
constexpr TIdDestino C = 0xC0;
constexpr TIdDestino D = 0xD0;

TEST(TFRec, DestinationListOperations) {
  TFRec rec;
  rec.DList = {A, B, C};
  EXPECT_TRUE(rec.PriorizarDH(C));
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, A, B}));
  EXPECT_FALSE(rec.PriorizarDH(D));
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, A, B}));
  EXPECT_TRUE(rec.EliminarDestino(A));
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, B}));
  EXPECT_FALSE(rec.EliminarDestino(D));
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, B}));
  EXPECT_TRUE(rec.EncontrarDestino(B));
  EXPECT_FALSE(rec.EncontrarDestino(A));
  TFRec otro;
  otro.DList = {A, B};
  rec.AgregarDestinos(otro);
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, B, A, B}));
  // Of two occurrences the last goes.
  EXPECT_TRUE(rec.EliminarDestino(B));
  EXPECT_EQ(rec.DList, (std::vector<TIdDestino>{C, B, A}));
}

TEST(TFRec, DTallaRoundsToTheSector) {
  TFRec rec;
  for (auto [talla, esperado] : {std::pair<std::int64_t, std::int64_t>{0, 0}, {1, 512}, {512, 512},
                                 {513, 1024}}) {
    rec.Talla = talla;
    EXPECT_EQ(rec.DTalla(512), esperado);
  }
}

TEST(PriorizarDestino, RecordsForTheDriveLeadMostDestinationsFirst) {
  auto entorno = std::make_shared<TEntorno>();
  auto origen = TDHilo::Create(entorno);
  origen->Suspend();  // keeps the records queued
  {
    auto& cola = origen->LockFList();
    for (auto destinos : {std::vector<TIdDestino>{D}, {A, B, C}, {A, B}}) {
      auto rec = std::make_unique<TFRec>();
      rec->DList = destinos;
      cola.push_back(std::move(rec));
    }
    origen->UnLockFList();
  }
  origen->PriorizarDestino(D);
  {
    auto& cola = origen->LockFList();
    ASSERT_EQ(cola.size(), 3u);
    EXPECT_EQ(cola[0]->DList, std::vector<TIdDestino>{D});
    EXPECT_EQ(cola[1]->DList.size(), 3u);
    EXPECT_EQ(cola[2]->DList.size(), 2u);
    origen->UnLockFList();
  }
  origen->PriorizarDestino(B);
  {
    auto& cola = origen->LockFList();
    EXPECT_EQ(cola[0]->DList, (std::vector<TIdDestino>{B, A, C}));
    EXPECT_EQ(cola[1]->DList, (std::vector<TIdDestino>{B, A}));
    EXPECT_EQ(cola[2]->DList, std::vector<TIdDestino>{D});
    origen->UnLockFList();
  }
  origen->Terminate();
  EXPECT_TRUE(testing_support::Esperar([&] { return origen->Finished(); }));
}

constexpr platform::FileTime kEpocaUnix = 116444736000000000ULL;

platform::FileTime HoraUtc(std::int64_t segundos_unix) {
  return kEpocaUnix + static_cast<platform::FileTime>(segundos_unix) * 10000000ULL;
}

class ArchivoIgualTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drives.Put(u'E', carpeta.path());
    // 10:15:30 UTC on a day in 2021.
    const struct timespec tiempos[2] = {{kMomento, 0}, {kMomento, 0}};
    std::ofstream(carpeta.path() + "/a.bin") << "12345";
    ASSERT_EQ(utimensat(AT_FDCWD, (carpeta.path() + "/a.bin").c_str(), tiempos, 0), 0);
    std::filesystem::create_directory(carpeta.path() + "/carpeta");
  }
  static constexpr std::int64_t kMomento = 1625480130;  // 2021-07-05 10:15:30 UTC
  testing_support::TempFolder carpeta;
  testing_support::ScopedFakeDrives drives;
};

TEST_F(ArchivoIgualTest, SameSizeAndMinuteCountsAsPresent) {
  const struct {
    const char16_t* nombre;
    std::int64_t segundos;
    std::int64_t talla;
    bool igual;
  } casos[] = {
      {u"a.bin", kMomento, 5, true},
      {u"a.bin", kMomento - 29, 5, true},   // 10:15:01
      {u"a.bin", kMomento + 29, 5, true},   // 10:15:59
      {u"a.bin", kMomento + 30, 5, false},  // 10:16:00
      {u"a.bin", kMomento - 60, 5, false},
      {u"a.bin", kMomento, 6, false},
      {u"a.bin", kMomento, 4, false},
      {u"carpeta", 0, 12345, true},
      {u"nada.bin", kMomento, 5, false},
  };
  platform::Env& env = *platform::DefaultEnv();
  const platform::Handle raiz = env.OpenVolumeRoot(carpeta.path());
  ASSERT_NE(raiz, platform::kInvalidHandle);
  for (const auto& c : casos) {
    EXPECT_EQ(ArchivoIgualEn(env, raiz, c.nombre, HoraUtc(c.segundos), c.talla), c.igual)
        << c.segundos - kMomento << " " << c.talla;
  }
  env.CloseHandle(raiz);
}

}  // namespace

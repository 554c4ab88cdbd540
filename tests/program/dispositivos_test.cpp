// The device refresh against a fake drive table and against real loop-mounted volumes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>

#include "app/LineaDispositivo.h"
#include "app/TPrograma.h"
#include "platform/drives.h"
#include "tests/support/esperar.h"
#include "tests/support/loop_volume.h"
#include "tests/support/vista_simple.h"

namespace {

using testing_support::Esperar;

class DispositivosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char plantilla[] = "/tmp/orsanta-unidades-XXXXXX";
    ASSERT_NE(mkdtemp(plantilla), nullptr);
    carpeta = plantilla;
    drives = platform::MakeFakeDrives();
    platform::SetDrives(drives);
  }
  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    if (programa.OCopia) hilos.push_back(programa.OCopia);
    programa.FormDestroy();
    for (auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
    std::filesystem::remove_all(carpeta);
  }
  // Each drive at a folder of its own: a mount point names one drive.
  void Poner(char16_t letra, std::u16string etiqueta, std::uint32_t serie,
             std::uint32_t tipo = platform::DRIVE_REMOVABLE, std::uint32_t sector = 512,
             bool legible = true) {
    const std::string montaje = carpeta + "/" + static_cast<char>(letra);
    std::filesystem::create_directory(montaje);
    drives->Put({std::u16string(1, letra), montaje, etiqueta, serie, tipo, sector, legible});
  }
  std::vector<std::u16string> Letras() const {
    std::vector<std::u16string> letras;
    for (const auto& hilo : programa.DList) letras.push_back(hilo->GetAppRec().Letra);
    return letras;
  }
  std::shared_ptr<TDHilo> Por(const std::u16string& letra) const {
    for (const auto& hilo : programa.DList) {
      if (hilo->GetAppRec().Letra == letra) return hilo;
    }
    return nullptr;
  }
  std::shared_ptr<TDHilo> Por(char16_t letra) const { return Por(std::u16string(1, letra)); }

  std::string carpeta;
  std::shared_ptr<platform::FakeDrives> drives;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(DispositivosTest, ListsUsableVolumesWithTheirNamesAndSectors) {
  Poner(u'C', u"", 0x11, platform::DRIVE_FIXED);
  Poner(u'E', u"STICK", 0x22, platform::DRIVE_REMOVABLE, 4096);
  Poner(u'F', u"", 0x33, platform::DRIVE_REMOTE);
  Poner(u'G', u"", 0x44, platform::DRIVE_REMOVABLE);
  Poner(u'H', u"DISCO", 0x55, platform::DRIVE_CDROM);
  Poner(u'I', u"RAM", 0x66, platform::DRIVE_RAMDISK);
  Poner(u'J', u"LECTOR", 0x77, platform::DRIVE_REMOVABLE, 512, /*legible=*/false);
  Poner(u'K', u"SINSERIE", 0, platform::DRIVE_REMOVABLE);
  programa.FormCreate();

  EXPECT_EQ(Letras(), (std::vector<std::u16string>{u"C", u"E", u"F", u"G"}));
  EXPECT_EQ(vista.Count(), 4);
  const struct {
    char16_t letra;
    const char16_t* nombre;
    std::uint32_t serie, sector;
  } esperados[] = {
      {u'C', u"Disco local", 0x11, 512},
      {u'E', u"STICK", 0x22, 4096},
      {u'F', u"Disco remoto", 0x33, 512},
      {u'G', u"Disco extraible", 0x44, 512},
  };
  for (const auto& e : esperados) {
    const THRec rec = Por(e.letra)->GetAppRec();
    EXPECT_EQ(rec.Nombre, e.nombre);
    EXPECT_EQ(rec.ID, e.serie);
    EXPECT_EQ(rec.SectorSize, e.sector);
    EXPECT_EQ(rec.MaxSectorSize, 4096u);
  }
  // The last item is focused and selected at start; the cancel button follows the list.
  EXPECT_EQ(vista.ItemIndex(), 3);
  EXPECT_TRUE(vista.Selected(3));
  EXPECT_TRUE(programa.Botones[ToolButtonCancelar].Enabled);
  EXPECT_TRUE(programa.Botones[ToolButtonActualizar].Enabled);
  EXPECT_EQ(programa.Caption, NombrePrograma());
}

TEST_F(DispositivosTest, NoDrivesLeavesAnEmptyListAndCancelDisabled) {
  programa.FormCreate();
  EXPECT_EQ(vista.Count(), 0);
  EXPECT_EQ(vista.ItemIndex(), -1);
  EXPECT_FALSE(programa.Botones[ToolButtonCancelar].Enabled);
}

TEST_F(DispositivosTest, AStickBackUnderAnotherLetterKeepsItsWorkerWorkAndSelection) {
  Poner(u'E', u"A", 0xA);
  Poner(u'F', u"B", 0xB);
  Poner(u'G', u"C", 0xC);
  programa.FormCreate();
  auto stick = Por(u'E');
  ASSERT_TRUE(Esperar([&] { return stick->GetHRec().ID == 0xA; }));
  auto trabajo = std::make_unique<TEspera>();
  trabajo->Cache = 12345;  // a worker without a role keeps its queue untouched
  stick->AgregarIO(std::move(trabajo));
  vista.SetSelected(0, true);
  vista.SetSelected(2, false);
  vista.SetItemIndex(1);

  drives->Remove(u"E");
  Poner(u'K', u"A", 0xA);
  programa.ToolButtonActualizarClick();

  EXPECT_EQ(Letras(), (std::vector<std::u16string>{u"F", u"G", u"K"}));
  EXPECT_EQ(Por(u'K'), stick);
  EXPECT_EQ(stick->GetCache(), 12345);
  EXPECT_TRUE(vista.Selected(2));
  EXPECT_FALSE(vista.Selected(0));
  EXPECT_FALSE(vista.Selected(1));
  EXPECT_EQ(vista.ItemIndex(), 0);  // the focus follows F to its new position
  ASSERT_TRUE(Esperar([&] { return stick->GetHRec().Letra == u"K"; }));
}

TEST_F(DispositivosTest, AVanishedVolumeLosesItsWorker) {
  Poner(u'E', u"A", 0xA);
  Poner(u'F', u"B", 0xB);
  programa.FormCreate();
  auto perdido = Por(u'E');
  drives->Remove(u"E");
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(Letras(), std::vector<std::u16string>{u"F"});
  EXPECT_TRUE(Esperar([&] { return perdido->Finished(); }));
  EXPECT_EQ(perdido->GetEstado(), TEstado::Quitado);  // announced, and not undone by its end
}

// With a source chosen, a vanished destination leaves the queued records and is ended by the
// source; the source itself stays, first in the list, even when its own drive is gone.
TEST_F(DispositivosTest, WithASourceVanishedDestinationsAreHandedToIt) {
  Poner(u'D', u"FUENTE", 0xD);
  Poner(u'E', u"A", 0xA);
  Poner(u'F', u"B", 0xB);
  programa.FormCreate();
  programa.OCopia = Por(u'D');
  programa.OCopia->EsOrigen();
  // Stopped, the source keeps the record queued while the test looks at it.
  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  auto e = Por(u'E');
  auto f = Por(u'F');
  for (auto& hilo : {e, f}) {
    hilo->SetOD(programa.OCopia);
    hilo->EsDestino();
  }
  {
    auto& cola = programa.OCopia->LockFList();
    auto rec = std::make_unique<TFRec>();
    rec->Talla = 100;
    rec->Atributos = platform::FILE_ATTRIBUTE_DIRECTORY;
    rec->ONombre = rec->DNombre = u"carpeta";
    rec->DList = {e->GetId(), f->GetId()};
    cola.push_back(std::move(rec));
    programa.OCopia->UnLockFList();
  }
  drives->Remove(u"E");
  drives->Remove(u"D");
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(programa.DList.size(), 2u);
  EXPECT_EQ(programa.DList[0], programa.OCopia);
  EXPECT_EQ(programa.DList[1], f);
  {
    auto& cola = programa.OCopia->LockFList();
    ASSERT_EQ(cola.size(), 1u);
    EXPECT_EQ(cola.front()->DList, std::vector<TIdDestino>{f->GetId()});
    programa.OCopia->UnLockFList();
  }
  programa.OCopia->Resume();
  EXPECT_TRUE(Esperar([&] { return e->Finished(); }));
  EXPECT_FALSE(f->Finished());
}

TEST_F(DispositivosTest, TwoRefreshesInARowMakeOneWorkerPerVolume) {
  Poner(u'E', u"A", 0xA);
  programa.FormCreate();
  programa.ToolButtonActualizarClick();
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(programa.DList.size(), 1u);
}

// More volumes than C to Z can name: every one gets a row, in the order of the names, with the
// mount point the worker reaches it through; the focus finds its drive across Z and AA.
TEST_F(DispositivosTest, EveryVolumeGetsARowBeyondTheLetterZ) {
  constexpr std::size_t kUnidades = 40;
  std::vector<std::string> montajes;
  for (std::size_t i = 0; i < kUnidades; ++i) {
    montajes.push_back(carpeta + "/stick" + std::to_string(i));
    std::filesystem::create_directory(montajes.back());
    drives->Put({u"", montajes.back(), u"STICK", static_cast<std::uint32_t>(0x100 + i),
                 platform::DRIVE_REMOVABLE, 512, true});
  }
  programa.FormCreate();

  std::vector<std::u16string> esperadas;
  for (char16_t letra = u'D'; letra <= u'Z'; ++letra) esperadas.push_back({letra});
  for (char16_t letra = u'A'; esperadas.size() < kUnidades; ++letra)
    esperadas.push_back({u'A', letra});
  ASSERT_EQ(Letras(), esperadas);
  EXPECT_EQ(vista.Count(), static_cast<int>(kUnidades));
  for (std::size_t i = 0; i < kUnidades; ++i) {
    const THRec rec = programa.DList[i]->GetAppRec();
    EXPECT_EQ(rec.Montaje, montajes[i]);
    EXPECT_EQ(rec.ID, 0x100u + i);
  }
  const auto ab = Por(u"AB");
  ASSERT_TRUE(Esperar([&] { return ab->GetHRec().Letra == u"AB"; }));
  EXPECT_EQ(LineaDispositivo(ab->GetInstantanea()).rfind(u"STICK (AB) ", 0), 0u);

  const int fila_ab = static_cast<int>(std::find(esperadas.begin(), esperadas.end(), u"AB") -
                                       esperadas.begin());
  vista.SetItemIndex(fila_ab);
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(vista.ItemIndex(), fila_ab);
  EXPECT_EQ(programa.DList[fila_ab], ab);
}

// Real volumes through the system's mount table.
class VolumenesRealesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
    platform::SetDrives(platform::MakeLinuxDrives());
    // These tests look at what each refresh found: every probe is waited for, however slow
    // the machine (a sanitizer build, a loaded CI).
    programa.PlazoSondeo = std::chrono::seconds(60);
  }
  void TearDown() override {
    auto hilos = programa.DList;
    programa.FormDestroy();
    for (auto& hilo : hilos) Esperar([&] { return hilo->Finished(); });
    platform::SetDrives(nullptr);
  }
  std::shared_ptr<TDHilo> PorNombre(const std::u16string& nombre) const {
    for (const auto& hilo : programa.DList) {
      if (hilo->GetAppRec().Nombre == nombre) return hilo;
    }
    return nullptr;
  }

  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(VolumenesRealesTest, DiscoversLabelsSerialsAndSectorSizes) {
  testing_support::LoopVolume uno({.size_bytes = 64 << 20, .sector_size = 512,
                                   .label = "ORSUNO", .uuid = "0449b030-2ad9-4a57-8f8e-0123456789ab"});
  testing_support::LoopVolume dos({.size_bytes = 64 << 20, .sector_size = 4096,
                                   .label = "ORSDOS", .uuid = "a1b2c3d4-0000-4000-8000-000000000001"});
  ASSERT_TRUE(uno.ok()) << uno.error();
  ASSERT_TRUE(dos.ok()) << dos.error();
  programa.FormCreate();
  auto h1 = PorNombre(u"ORSUNO");
  auto h2 = PorNombre(u"ORSDOS");
  ASSERT_TRUE(h1 && h2);
  EXPECT_EQ(h1->GetAppRec().ID, 0x0449B030u);
  EXPECT_EQ(h2->GetAppRec().ID, 0xA1B2C3D4u);
  EXPECT_EQ(h1->GetAppRec().SectorSize, 512u);
  EXPECT_EQ(h2->GetAppRec().SectorSize, 4096u);
  EXPECT_EQ(h1->GetAppRec().MaxSectorSize, 4096u);
  EXPECT_GT(h1->GetEspacio(), 0);
  // The root file system is listed too, as C.
  EXPECT_TRUE(std::any_of(programa.DList.begin(), programa.DList.end(),
                          [](const auto& h) { return h->GetAppRec().Letra == u"C"; }));

  // Pulled and plugged in again elsewhere: the same worker; pulled for good: no worker.
  vista.SetSelected(std::find(programa.DList.begin(), programa.DList.end(), h1) -
                        programa.DList.begin(),
                    true);
  ASSERT_TRUE(uno.Remount()) << uno.error();
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(PorNombre(u"ORSUNO"), h1);
  const auto indice =
      std::find(programa.DList.begin(), programa.DList.end(), h1) - programa.DList.begin();
  EXPECT_TRUE(vista.Selected(indice));
  ASSERT_TRUE(dos.Unmount());
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(PorNombre(u"ORSDOS"), nullptr);
  EXPECT_TRUE(Esperar([&] { return h2->Finished(); }));
}

TEST_F(VolumenesRealesTest, AnUnlabeledFixedVolumeIsALocalDisk) {
  testing_support::LoopVolume::Options sin_etiqueta;
  sin_etiqueta.uuid = "5eedf00d-0000-4000-8000-000000000002";
  testing_support::LoopVolume sin_nombre(sin_etiqueta);
  ASSERT_TRUE(sin_nombre.ok()) << sin_nombre.error();
  programa.FormCreate();
  bool encontrado = false;
  for (const auto& hilo : programa.DList) {
    if (hilo->GetAppRec().ID == 0x5EEDF00Du) {
      encontrado = true;
      EXPECT_EQ(hilo->GetAppRec().Nombre, u"Disco local");
    }
  }
  EXPECT_TRUE(encontrado);
}

}  // namespace

namespace {

// A drive table whose volume at one mount point does not answer its probe until the test lets
// it: the label and serial reads block, as a stick whose reads hang holds libblkid.
class UnidadesLentas final : public platform::Drives {
 public:
  UnidadesLentas(std::shared_ptr<platform::Drives> tabla, std::string lenta)
      : tabla_(std::move(tabla)), lenta_(std::move(lenta)) {}
  ~UnidadesLentas() override { Soltar(); }

  void Soltar() {
    std::lock_guard<std::mutex> lock(mutex_);
    suelta_ = true;
    cambio_.notify_all();
  }
  int Sondeos() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sondeos_;
  }

  std::vector<platform::DriveEntry> ListDrives() override { return tabla_->ListDrives(); }
  std::uint32_t GetDriveType(const std::string& m) override { return tabla_->GetDriveType(m); }
  bool GetVolumeInformation(const std::string& m, std::u16string* nombre,
                            std::uint32_t* serie) override {
    if (m == lenta_) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++sondeos_;
      cambio_.wait(lock, [&] { return suelta_; });
    }
    return tabla_->GetVolumeInformation(m, nombre, serie);
  }
  bool GetDiskFreeSpace(const std::string& m, std::uint32_t* sector) override {
    return tabla_->GetDiskFreeSpace(m, sector);
  }
  bool IsMountedFolder(const std::string& m, int fd) override {
    return tabla_->IsMountedFolder(m, fd);
  }
  bool GetDiskFreeSpaceEx(const std::string& m, std::int64_t* libre, std::int64_t* total) override {
    return tabla_->GetDiskFreeSpaceEx(m, libre, total);
  }
  bool MountPoint(const std::u16string& n, std::string* d) override { return tabla_->MountPoint(n, d); }
  bool DriveOf(const std::string& p, platform::DriveEntry* d, std::string* r) override {
    return tabla_->DriveOf(p, d, r);
  }

 private:
  std::shared_ptr<platform::Drives> tabla_;
  const std::string lenta_;
  mutable std::mutex mutex_;
  std::condition_variable cambio_;
  bool suelta_ = false;  // guarded by mutex_
  int sondeos_ = 0;      // guarded by mutex_
};

TEST_F(DispositivosTest, AStickThatDoesNotAnswerLeavesItsRowWithoutHoldingTheWindow) {
  Poner(u'E', u"RAPIDA", 0xE0);
  Poner(u'F', u"LENTA", 0xF0);
  auto lentas = std::make_shared<UnidadesLentas>(drives, carpeta + "/F");
  platform::SetDrives(lentas);
  const auto medir = [](const std::function<void()>& paso) {
    const auto inicio = std::chrono::steady_clock::now();
    paso();
    return std::chrono::steady_clock::now() - inicio;
  };

  EXPECT_LT(medir([&] { programa.FormCreate(); }), std::chrono::seconds(1));
  ASSERT_EQ(Letras(), (std::vector<std::u16string>{u"E", u"F"}));
  EXPECT_EQ(Por(u'E')->GetAppRec().Nombre, u"RAPIDA");
  const THRec sin_respuesta = Por(u'F')->GetAppRec();
  EXPECT_EQ(sin_respuesta.Nombre, u"Sin respuesta");
  EXPECT_EQ(sin_respuesta.ID, 0u);
  // The row as the window paints it, once the worker has taken the refresh's identity.
  EXPECT_TRUE(Esperar([&] {
    return LineaDispositivo(Por(u'F')->GetInstantanea()).find(u"Sin respuesta (F)") !=
           std::u16string::npos;
  }));

  // Refreshed again while it still hangs: as quick, the same row, and no second probe.
  const auto fila = Por(u'F');
  EXPECT_LT(medir([&] { programa.ToolButtonActualizarClick(); }), std::chrono::seconds(1));
  EXPECT_EQ(Por(u'F'), fila);
  EXPECT_EQ(lentas->Sondeos(), 1);
  programa.TimerVTimer();
  EXPECT_EQ(Por(u'F'), fila);

  // Its answer fills the row at the next timer tick, in the same worker.
  lentas->Soltar();
  ASSERT_TRUE(Esperar([&] {
    programa.TimerVTimer();
    return Por(u'F') && Por(u'F')->GetAppRec().ID == 0xF0;
  }));
  EXPECT_EQ(Por(u'F'), fila);
  EXPECT_EQ(Por(u'F')->GetAppRec().Nombre, u"LENTA");
  EXPECT_EQ(Letras(), (std::vector<std::u16string>{u"E", u"F"}));
}

// A known stick mounted again elsewhere that answers slowly keeps its worker (its work, its
// selection) until its answer comes; the answer then joins it to its new folder.
TEST_F(DispositivosTest, AKnownStickThatAnswersSlowlyKeepsItsWorker) {
  Poner(u'E', u"PALO", 0xE0);
  programa.FormCreate();
  const auto palo = Por(u'E');
  ASSERT_NE(palo, nullptr);
  vista.SetSelected(0, true);

  const std::string nuevo = carpeta + "/E2";
  std::filesystem::create_directory(nuevo);
  drives->Remove(u"E");
  drives->Put({u"E", nuevo, u"PALO", 0xE0, platform::DRIVE_REMOVABLE, 512, true});
  auto lentas = std::make_shared<UnidadesLentas>(drives, nuevo);
  platform::SetDrives(lentas);
  programa.ToolButtonActualizarClick();
  ASSERT_EQ(programa.DList.size(), 2u);  // the stick's row, and the row that does not answer
  EXPECT_NE(std::find(programa.DList.begin(), programa.DList.end(), palo), programa.DList.end());
  EXPECT_FALSE(palo->Terminated());

  lentas->Soltar();
  ASSERT_TRUE(Esperar([&] {
    programa.TimerVTimer();
    return programa.DList.size() == 1u;
  }));
  EXPECT_EQ(programa.DList[0], palo);
  EXPECT_EQ(palo->GetAppRec().Montaje, nuevo);
  EXPECT_TRUE(vista.Selected(0));
}

}  // namespace

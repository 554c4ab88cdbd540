// The toolbar commands of the main window: cancel, prioritise, the two-state buttons, stop with
// a refresh, and all of them clicked at random while a copy runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <random>

#include "app/TPrograma.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/granja.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"
#include "tests/support/esperar.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::EscribirAzar;

class ComandosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drives = platform::MakeFakeDrives();
    platform::SetDrives(drives);
    for (char16_t letra : {u'D', u'E', u'F', u'G'}) Poner(letra);
    EscribirAzar(fs::path(carpetas[u'D']->path()) / "carpeta/f.bin", 3000, 1);
    programa.CursorOcupado = [this](bool ocupado) { cursores.push_back(ocupado); };
    programa.FormCreate();
    // The stop command's pause is the timer's interval; short, so that clicks follow quickly.
    programa.Entorno->IntervaloTimer = 10;
    Seleccionar({});
    Recordar();
  }
  void TearDown() override {
    Recordar();
    programa.FormDestroy();
    for (const auto& hilo : vistos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::SetDrives(nullptr);
  }

  void Poner(char16_t letra) {
    carpetas[letra] = std::make_unique<testing_support::TempFolder>();
    drives->Put({std::u16string(1, letra), carpetas[letra]->path(), u"V", 0xA0u + letra,
                 platform::DRIVE_REMOVABLE, 512, true});
  }
  // Every worker ever listed, so that the end can wait for all of them.
  void Recordar() {
    for (const auto& hilo : programa.DList) vistos.push_back(hilo);
  }
  std::u16string Letras() const {
    std::u16string letras;
    for (const auto& hilo : programa.DList) letras += hilo->GetAppRec().Letra;
    return letras;
  }
  int Indice(char16_t letra) const { return static_cast<int>(Letras().find(letra)); }
  std::shared_ptr<TDHilo> Hilo(char16_t letra) const { return programa.DList.at(Indice(letra)); }
  void Seleccionar(std::initializer_list<char16_t> letras) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (char16_t letra : letras) vista.SetSelected(Indice(letra), true);
  }
  void Soltar(const std::string& relativo) {
    programa.WMDropFiles({carpetas[u'D']->path() + "/" + relativo});
  }

  std::shared_ptr<platform::FakeDrives> drives;
  std::map<char16_t, std::unique_ptr<testing_support::TempFolder>> carpetas;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
  std::vector<bool> cursores;
  std::vector<std::shared_ptr<TDHilo>> vistos;
};

TEST_F(ComandosTest, CancelWithoutASourceEndsTheSelectedWorkersUntilTheNextRefresh) {
  const auto E = Hilo(u'E');
  const auto F = Hilo(u'F');
  Seleccionar({u'E', u'F'});
  programa.ToolButtonCancelarClick();
  EXPECT_EQ(Letras(), u"DG");
  EXPECT_EQ(vista.Count(), 2);
  EXPECT_EQ(vista.seleccion, (std::vector<bool>{false, false}));
  EXPECT_TRUE(programa.Botones[ToolButtonCancelar].Enabled);
  EXPECT_EQ(cursores, (std::vector<bool>{true, false}));
  EXPECT_TRUE(Esperar([&] { return E->Finished() && F->Finished(); }));

  programa.ToolButtonActualizarClick();
  Recordar();
  EXPECT_EQ(Letras(), u"DEFG");
  EXPECT_NE(Hilo(u'E'), E);
}

TEST_F(ComandosTest, CancelWithASourceKeepsItAndTakesTheOthersOutOfItsWork) {
  Soltar("carpeta");  // nothing selected: D becomes the source
  ASSERT_EQ(programa.OCopia, Hilo(u'D'));
  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  Seleccionar({u'E', u'F'});
  Soltar("carpeta");
  const auto E = Hilo(u'E');
  const auto F = Hilo(u'F');

  // Stopped: the cancelled worker must still come to its end.
  programa.ToolButtonContinuarDetenerClick();
  Seleccionar({u'D', u'E'});
  programa.ToolButtonCancelarClick();
  EXPECT_EQ(Letras(), u"DFG");
  EXPECT_EQ(vista.seleccion, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(programa.OCopia, Hilo(u'D'));
  EXPECT_FALSE(E->Suspended());
  {
    auto& cola = programa.OCopia->LockFList();
    ASSERT_EQ(cola.size(), 2u);
    for (const auto& rec : cola) EXPECT_EQ(rec->DList, std::vector<TIdDestino>{F->GetId()});
    programa.OCopia->UnLockFList();
  }
  EXPECT_TRUE(programa.Botones[ToolButtonCancelar].Enabled);

  programa.ToolButtonContinuarDetenerClick();
  EXPECT_TRUE(Esperar([&] { return E->Finished(); }));
  EXPECT_FALSE(F->Finished());
}

TEST_F(ComandosTest, CancelWithNothingSelectedChangesNothing) {
  programa.ToolButtonCancelarClick();
  EXPECT_EQ(Letras(), u"DEFG");
  EXPECT_TRUE(programa.Botones[ToolButtonCancelar].Enabled);

  for (const char16_t* letra : {u"D", u"E", u"F", u"G"}) drives->Remove(letra);
  programa.ToolButtonActualizarClick();
  programa.ToolButtonCancelarClick();
  EXPECT_EQ(Letras(), u"");
  EXPECT_FALSE(programa.Botones[ToolButtonCancelar].Enabled);
}

TEST_F(ComandosTest, PrioritiseWithoutASourceDoesNothing) {
  vista.SetItemIndex(1);
  programa.ToolButtonPriorizarClick();
  EXPECT_TRUE(cursores.empty());
  EXPECT_TRUE(programa.ToolbarEnabled);
  EXPECT_EQ(programa.OCopia, nullptr);
}

TEST_F(ComandosTest, TwoStateButtonsSwapImageAndHintOnEveryClick) {
  const struct {
    TBotonId boton;
    void (TPrograma::*click)();
    int imagen[2];
    const char16_t* hint[2];
  } casos[] = {
      {ToolButtonSumarRestar, &TPrograma::ToolButtonSumarRestarClick, {8, 7},
       {u"Al arrastar eliminar.", u"Al arrastrar agregar."}},
      {ToolButtonAjusteProgreso, &TPrograma::ToolButtonAjusteProgresoClick, {11, 10},
       {u"Progreso.", u"Ajustes."}},
      {ToolButtonContinuarDetener, &TPrograma::ToolButtonContinuarDetenerClick, {1, 0},
       {u"Continuar operaciones.", u"Detener operaciones."}},
  };
  for (const auto& c : casos) {
    for (int vez = 0; vez < 2; ++vez) {
      SCOPED_TRACE(testing::Message() << c.boton << " click " << vez + 1);
      (programa.*c.click)();
      EXPECT_EQ(programa.Botones[c.boton].ImageIndex, c.imagen[vez]);
      EXPECT_EQ(programa.Botones[c.boton].Hint, c.hint[vez]);
      const bool primera = vez == 0;
      if (c.boton == ToolButtonAjusteProgreso) {
        EXPECT_EQ(programa.PanelConfigurarVisible, primera);
      }
      if (c.boton == ToolButtonContinuarDetener) {
        EXPECT_TRUE(programa.Botones[c.boton].Enabled);
        for (const auto& hilo : programa.DList) EXPECT_EQ(hilo->Suspended(), primera);
      }
    }
  }
}

TEST_F(ComandosTest, AfterStopARefreshBringsWorkersThatRun) {
  programa.ToolButtonContinuarDetenerClick();
  Poner(u'H');
  programa.ToolButtonActualizarClick();
  Recordar();
  const auto H = Hilo(u'H');
  EXPECT_FALSE(H->Suspended());
  const auto vueltas = H->GetVueltas();
  EXPECT_TRUE(Esperar([&] { return H->GetVueltas() > vueltas + 1; }));
  for (char16_t letra : {u'D', u'E', u'F', u'G'}) EXPECT_TRUE(Hilo(letra)->Suspended());

  programa.ToolButtonContinuarDetenerClick();
  for (const auto& hilo : programa.DList) EXPECT_FALSE(hilo->Suspended());
}

// Stop/continue, cancel, refresh, prioritise and drops in a random order while a copy runs:
// every command returns, and the destinations never cancelled end with every file, so no
// queued record went anywhere but to a copy or to a cancelled drive.
TEST(ComandosEstresTest, CommandsInAnyOrderWhileCopyingLoseNothing) {
  testing_support::UnidadesEnVolumenes unidades(
      {{u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"DOS", 0xF0, 4096},
       {u"G", u"TRES", 0x60}});
  if (!unidades.ok()) GTEST_SKIP() << unidades.error();
  const fs::path datos = unidades.Raiz(u"D") / "Datos";
  for (unsigned i = 0; i < 24; ++i) {
    EscribirAzar(datos / ("c" + std::to_string(i % 4)) / ("f" + std::to_string(i)),
                 (i * 397LL << 10) % (5 << 20), i + 1);
  }
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.FormCreate();
  programa.Entorno->IntervaloTimer = 10;
  std::vector<std::shared_ptr<TDHilo>> vistos = programa.DList;
  ASSERT_EQ(vistos.size(), 4u);
  ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  const auto E = vistos[1];
  const auto F = vistos[2];

  auto indice = [&](char16_t letra) {
    for (std::size_t i = 0; i < programa.DList.size(); ++i) {
      if (programa.DList[i]->GetAppRec().Letra == std::u16string(1, letra)) {
        return static_cast<int>(i);
      }
    }
    return -1;
  };
  auto seleccionar = [&](std::initializer_list<char16_t> letras) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (char16_t letra : letras) {
      if (indice(letra) >= 0) vista.SetSelected(indice(letra), true);
    }
  };
  auto soltar = [&] {
    seleccionar({u'E', u'F', u'G'});
    programa.WMDropFiles({datos.string()});
  };

  soltar();
  ASSERT_EQ(programa.OCopia, vistos[0]);
  auto clicks = std::async(std::launch::async, [&] {
    std::mt19937 azar(20160806);
    for (int paso = 0; paso < 80; ++paso) {
      switch (azar() % 6) {
        case 0:
          programa.ToolButtonContinuarDetenerClick();
          break;
        case 1:
          seleccionar({u'G'});
          programa.ToolButtonCancelarClick();
          break;
        case 2:
          programa.ToolButtonActualizarClick();
          for (const auto& hilo : programa.DList) vistos.push_back(hilo);
          testing_support::EsperarIdentidades(programa.DList);
          break;
        case 3:
          vista.SetItemIndex(static_cast<int>(azar() % vista.Count()));
          programa.ToolButtonPriorizarClick();
          break;
        case 4:
          soltar();
          break;
        default:
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    if (programa.Botones[ToolButtonContinuarDetener].ImageIndex == 1) {
      programa.ToolButtonContinuarDetenerClick();
    }
  });
  if (clicks.wait_for(std::chrono::minutes(5)) != std::future_status::ready) {
    std::fprintf(stderr, "the commands did not return: a deadlock\n");
    std::abort();
  }

  EXPECT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  EXPECT_EQ(programa.DList[indice(u'E')], E);
  EXPECT_EQ(programa.DList[indice(u'F')], F);
  EXPECT_EQ(testing_support::CompararArboles(datos, unidades.Raiz(u"E") / "Datos"), "");
  EXPECT_EQ(testing_support::CompararArboles(datos, unidades.Raiz(u"F") / "Datos"), "");
  {
    auto& cola = programa.OCopia->LockFList();
    EXPECT_TRUE(cola.empty());
    programa.OCopia->UnLockFList();
  }

  programa.FormDestroy();
  for (const auto& hilo : vistos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
}

}  // namespace

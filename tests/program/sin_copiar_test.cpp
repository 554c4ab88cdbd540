// A cancel, or a stick pulled, in the middle of a job: the notice names what the stick was left
// without (and only that: what an earlier job finished there is not named), nothing unfinished
// is left on it, and a pulled stick keeps its row, marked removed, until the next refresh.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/TPrograma.h"
#include "engine/Manifiesto.h"
#include "platform/locale.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;

class SinCopiarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unidades = std::make_unique<testing_support::UnidadesEnVolumenes>(
        std::vector<testing_support::UnidadesEnVolumenes::Unidad>{
            {u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"DOS", 0xF0, 4096}});
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
    programa.FormCreate();
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  }
  void TearDown() override {
    const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(hilo->Finished());
  }

  fs::path Raiz(const char16_t* letra) const { return unidades->Raiz(letra); }
  std::shared_ptr<TDHilo> Hilo(const char16_t* letra) const {
    for (const auto& hilo : programa.DList)
      if (hilo->GetAppRec().Letra == letra) return hilo;
    return nullptr;
  }
  void Elegir(std::initializer_list<const char16_t*> letras) {
    for (int i = 0; i < vista.Count(); ++i) {
      bool elegido = false;
      for (const char16_t* letra : letras) elegido |= programa.DList[i]->GetAppRec().Letra == letra;
      vista.SetSelected(i, elegido);
    }
  }
  bool Terminado(const char16_t* letra) const {
    return Esperar([&] { return Hilo(letra)->GetEstado() == TEstado::Terminado; });
  }

  // A first job done on E and F, then a second one that E stops answering at its first write
  // and F finishes.
  void DosTrabajos(testing_support::FallosTransferencia& fallos) {
    testing_support::EscribirAzar(Uno() / "hecho.bin", 100 << 10, 1);
    testing_support::EscribirAzar(Dos() / "a.bin", 3 << 20, 2);
    testing_support::EscribirAzar(Dos() / "b.bin", 10 << 10, 3);
    testing_support::EscribirAzar(Dos() / "sub" / "c.bin", 5 << 10, 4);
    Elegir({});
    programa.WMDropFiles({Uno().string()});  // chooses the source
    Elegir({u"E", u"F"});
    programa.WMDropFiles({Uno().string()});
    ASSERT_TRUE(Terminado(u"E") && Terminado(u"F"));
    programa.TimerVTimer();  // the window's tick that sees the job end
    fallos.Colgar(Raiz(u"E").string());
    programa.Entorno->TiempoError = 60000;
    programa.WMDropFiles({Dos().string()});
    ASSERT_TRUE(Esperar([&] { return fallos.colgadas() >= 1; }));
    ASSERT_TRUE(Terminado(u"F"));
  }
  // The notice names the second job's files, not the first's nor the other stick.
  static void NombraElSegundo(const std::string& aviso) {
    for (const char* nombre : {"a.bin", "b.bin", "c.bin"}) {
      EXPECT_NE(aviso.find(nombre), std::string::npos) << nombre << " not named: " << aviso;
    }
    EXPECT_NE(aviso.find(" entradas sin copiar: "), std::string::npos) << aviso;
    EXPECT_EQ(aviso.find("hecho.bin"), std::string::npos) << "a finished file named: " << aviso;
    EXPECT_EQ(aviso.find("DOS"), std::string::npos) << "a stick not in it named: " << aviso;
  }
  // On `letra`: the first job whole, and of the second nothing but folders and whole copies;
  // on F the second job whole.
  void SoloCopiasEnteras(const char16_t* letra) const {
    EXPECT_TRUE(testing_support::MismoContenido(Raiz(letra) / "Uno" / "hecho.bin", Uno() / "hecho.bin"));
    for (const auto& entrada : fs::recursive_directory_iterator(Raiz(letra))) {
      if (!entrada.is_regular_file()) continue;
      const fs::path relativo = fs::relative(entrada.path(), Raiz(letra));
      if (relativo == fs::path(kNombreManifiesto)) continue;  // the first job's checksums
      EXPECT_TRUE(testing_support::MismoContenido(entrada.path(), Raiz(u"D") / relativo))
          << "left on the stick: " << relativo;
    }
    for (const char* nombre : {"a.bin", "b.bin", "sub/c.bin"}) {
      EXPECT_TRUE(testing_support::MismoContenido(Raiz(u"F") / "Dos" / nombre, Dos() / nombre));
    }
  }
  fs::path Uno() const { return Raiz(u"D") / "Uno"; }
  fs::path Dos() const { return Raiz(u"D") / "Dos"; }

  std::unique_ptr<testing_support::UnidadesEnVolumenes> unidades;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(SinCopiarTest, ACancelNamesWhatItLeftUndoneAndLeavesNoneOfItOnTheStick) {
  testing_support::FallosTransferencia fallos;
  ASSERT_NO_FATAL_FAILURE(DosTrabajos(fallos));
  const std::shared_ptr<TDHilo> E = Hilo(u"E");
  Elegir({u"E"});
  programa.ToolButtonCancelarClick();
  const std::string aviso = platform::ToUtf8(programa.Aviso);
  EXPECT_EQ(aviso.rfind("Cancelado en UNO (E:): ", 0), 0u) << aviso;
  NombraElSegundo(aviso);

  fallos.Liberar();
  ASSERT_TRUE(Esperar([&] { return E->Finished(); }));
  SoloCopiasEnteras(u"E");
}

TEST_F(SinCopiarTest, ACancelOfAStickWithNothingLeftSaysSo) {
  testing_support::EscribirAzar(Uno() / "hecho.bin", 100 << 10, 1);
  Elegir({});
  programa.WMDropFiles({Uno().string()});
  Elegir({u"E"});
  programa.WMDropFiles({Uno().string()});
  ASSERT_TRUE(Terminado(u"E"));
  Elegir({u"E"});
  programa.ToolButtonCancelarClick();
  EXPECT_EQ(platform::ToUtf8(programa.Aviso), "Cancelado en UNO (E:): no quedaba nada por copiar.");
}

TEST_F(SinCopiarTest, AStickPulledMidJobKeepsItsRowRemovedUntilTheRefreshAndHoldsNoPartialFile) {
  testing_support::FallosTransferencia fallos;
  ASSERT_NO_FATAL_FAILURE(DosTrabajos(fallos));
  const std::shared_ptr<TDHilo> E = Hilo(u"E");
  ASSERT_TRUE(unidades->Quitar(u"E"));
  programa.TimerVTimer();
  const std::string aviso = platform::ToUtf8(programa.Aviso);
  EXPECT_EQ(aviso.rfind("Quitado UNO (E:): ", 0), 0u) << aviso;
  NombraElSegundo(aviso);
  // The row stays, removed, with the job's figures where they stopped.
  ASSERT_EQ(Hilo(u"E"), E);
  const TFila fila = programa.Fila(*E);
  EXPECT_EQ(fila.Foto.Estado, TEstado::Quitado);
  EXPECT_LT(fila.TrabajoPos, fila.TrabajoFin);

  fallos.Liberar();
  ASSERT_TRUE(Esperar([&] { return E->Finished(); }));
  programa.TimerVTimer();
  EXPECT_EQ(Hilo(u"E"), E) << "the row went before the refresh";
  // Plugged in again: nothing of the second job but whole copies.
  ASSERT_TRUE(unidades->Volver(u"E"));
  SoloCopiasEnteras(u"E");
  programa.ToolButtonActualizarClick();
  EXPECT_EQ(Hilo(u"E"), nullptr);
  EXPECT_EQ(programa.DList.size(), 2u);
}

}  // namespace

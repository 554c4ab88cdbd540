// Closing the program in the middle of a copy: every worker ends and deletes the copy it had
// under way before the close returns, so nothing unfinished is left under any name.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/TPrograma.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;

TEST(CierreTest, AnIdleProgramClosesWithoutAsking) {
  testing_support::UnidadesEnVolumenes unidades({{u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}});
  if (!unidades.ok()) GTEST_SKIP() << unidades.error();
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.FormCreate();
  int preguntas = 0;
  programa.Confirmar = [&](const std::u16string&) {
    ++preguntas;
    return false;
  };
  EXPECT_TRUE(programa.PuedeCerrar());
  EXPECT_EQ(preguntas, 0);
  const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& hilo : hilos) EXPECT_TRUE(hilo->Finished());
}

TEST(CierreTest, ClosingMidCopyEndsEveryWorkerAndLeavesNoPartialFile) {
  testing_support::UnidadesEnVolumenes unidades(
      {{u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"DOS", 0xF0, 4096}});
  if (!unidades.ok()) GTEST_SKIP() << unidades.error();
  const fs::path datos = unidades.Raiz(u"D") / "Datos";
  testing_support::EscribirAzar(datos / "grande.bin", 40 << 20, 1);
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  programa.FormCreate();
  ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, i > 0);
  // E's copy stops answering in the middle: it is under way when the program closes.
  testing_support::FallosTransferencia fallos;
  fallos.Colgar(unidades.Raiz(u"E").string());
  programa.Entorno->TiempoError = 2000;
  programa.WMDropFiles({datos.string()});
  ASSERT_TRUE(testing_support::Esperar([&] { return fallos.colgadas() >= 1; }));
  EXPECT_TRUE(programa.TrabajoEnCurso());
  // With work under way the window asks, and stays when the answer is no.
  int preguntas = 0;
  programa.Confirmar = [&](const std::u16string&) {
    ++preguntas;
    return false;
  };
  EXPECT_FALSE(programa.PuedeCerrar());
  EXPECT_EQ(preguntas, 1);
  programa.Confirmar = nullptr;

  programa.FormDestroy();
  for (const auto& hilo : hilos) EXPECT_TRUE(hilo->Finished());
  fallos.Liberar();
  // What is on a stick under a name is the source's file whole; nothing else is left.
  for (const std::u16string letra : {u"E", u"F"}) {
    const fs::path stick = unidades.Raiz(letra);
    for (const auto& entrada : fs::recursive_directory_iterator(stick)) {
      if (!entrada.is_regular_file()) continue;
      const fs::path relativo = fs::relative(entrada.path(), stick);
      EXPECT_TRUE(testing_support::MismoContenido(entrada.path(), unidades.Raiz(u"D") / relativo))
          << "left on the stick: " << relativo;
    }
  }
}

}  // namespace

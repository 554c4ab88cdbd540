// Commands that would otherwise do nothing visible say what they did or why they did nothing:
// prioritise, a drop with no destination, a drop from another volume, a drop with nothing new,
// and copy lists that hold nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/TPrograma.h"
#include "platform/locale.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::EscribirAzar;

class AvisosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unidades = std::make_unique<testing_support::UnidadesEnVolumenes>(
        std::vector<testing_support::UnidadesEnVolumenes::Unidad>{
            {u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"DOS", 0xF0}});
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
    EscribirAzar(Raiz(u'D') / "Fotos" / "a.bin", 5000, 1);
    EscribirAzar(Raiz(u'F') / "otra.bin", 100, 2);
    programa.MostrarMensaje = [this](const std::u16string& texto) {
      mensajes.push_back(texto);
      avisos_con_mensaje.push_back(programa.Aviso);
    };
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 3u);
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
    Seleccionar({});
  }
  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }

  fs::path Raiz(char16_t letra) const { return unidades->Raiz(std::u16string(1, letra)); }
  int Indice(char16_t letra) const {
    for (std::size_t i = 0; i < programa.DList.size(); ++i)
      if (programa.DList[i]->GetAppRec().Letra == std::u16string(1, letra))
        return static_cast<int>(i);
    return -1;
  }
  void Seleccionar(std::initializer_list<char16_t> letras) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (char16_t letra : letras) vista.SetSelected(Indice(letra), true);
  }
  void Soltar(const fs::path& ruta) {
    programa.Aviso.clear();
    programa.WMDropFiles({ruta.string()});
  }
  std::string Aviso() const { return platform::ToUtf8(programa.Aviso); }

  std::unique_ptr<testing_support::UnidadesEnVolumenes> unidades;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
  std::vector<std::u16string> mensajes;
  std::vector<std::u16string> avisos_con_mensaje;
};

TEST_F(AvisosTest, PrioritiseSaysWhichStickGoesFirst) {
  programa.ToolButtonPriorizarClick();
  EXPECT_EQ(Aviso(), "Aún no hay copia: no hay nada que priorizar.");
  Soltar(Raiz(u'D') / "Fotos");
  ASSERT_TRUE(programa.OCopia);
  vista.SetItemIndex(Indice(u'E'));
  programa.ToolButtonPriorizarClick();
  EXPECT_EQ(Aviso(), "Primero se copia a UNO (E).");
  vista.SetItemIndex(Indice(u'D'));
  programa.ToolButtonPriorizarClick();
  EXPECT_EQ(Aviso(), "El origen no se prioriza: elija una memoria de destino y vuelva a pulsar.");
  vista.SetItemIndex(-1);
  programa.ToolButtonPriorizarClick();
  EXPECT_EQ(Aviso(), "Ninguna memoria enfocada: la cola solo se ha ordenado.");
}

TEST_F(AvisosTest, ADropWithNoDestinationNamesTheSourceAndWhatToDo) {
  Soltar(Raiz(u'D') / "Fotos");
  EXPECT_EQ(Aviso(),
            "Origen: FUENTE (D). No hay memorias de destino seleccionadas: seleccione una o más y "
            "vuelva a arrastrar los archivos.");
  // Only the source selected: it is no destination of itself.
  Seleccionar({u'D'});
  Soltar(Raiz(u'D') / "Fotos");
  EXPECT_NE(Aviso().find("No hay memorias de destino seleccionadas"), std::string::npos);
  EXPECT_TRUE(mensajes.empty());
}

TEST_F(AvisosTest, ADropFromAnotherVolumeSaysWhichIsTheSource) {
  Soltar(Raiz(u'D') / "Fotos");
  Seleccionar({u'E'});
  Soltar(Raiz(u'F') / "otra.bin");
  ASSERT_EQ(mensajes.size(), 1u);
  // The message is the one the program always gave; the notice below it says why.
  EXPECT_EQ(mensajes[0], u"Origen de copia no valido");
  EXPECT_EQ(platform::ToUtf8(avisos_con_mensaje[0]),
            "Esta copia lee desde FUENTE (D): arrastre los archivos desde ese volumen. Para "
            "copiar desde otro, cierre el programa y vuelva a abrirlo.");
  testing_support::TempFolder fuera;
  EscribirAzar(fs::path(fuera.path()) / "x.bin", 10, 3);
  programa.OCopia.reset();  // as before any source: names on no drive of the list
  Soltar(fs::path(fuera.path()) / "x.bin");
  ASSERT_EQ(mensajes.size(), 2u);
  EXPECT_EQ(mensajes[1], u"Origen de copia no valido");
}

TEST_F(AvisosTest, ADropSaysWhatItQueuedOrThatNothingWasNew) {
  Soltar(Raiz(u'D') / "Fotos");
  Seleccionar({u'E', u'F'});
  Soltar(Raiz(u'D') / "Fotos");
  // The folder and its file, for each of the two sticks.
  EXPECT_EQ(Aviso(), "Copia añadida: 4 copias para 2 memorias.");
  ASSERT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  Seleccionar({u'E'});
  Soltar(Raiz(u'D') / "Fotos");
  EXPECT_EQ(Aviso(), "Nada que copiar: las memorias seleccionadas ya tienen lo arrastrado.");
}

TEST_F(AvisosTest, CopyListsThatHoldNothingSaySo) {
  testing_support::TempFolder carpeta;
  programa.RutaConfiguracion = carpeta.path() + "/x.cfg";
  Soltar(Raiz(u'D') / "Fotos");
  const std::string ruta = carpeta.path() + "/vacia.orsc";
  programa.GuardarLista(ruta);
  EXPECT_EQ(Aviso(), "La cola está vacía: la lista guardada no tiene nada que copiar (" + ruta +
                         ").");
  // A new run opens it.
  std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& hilo : hilos) ASSERT_TRUE(Esperar([&] { return hilo->Finished(); }));
  testing_support::VistaSimple otra_vista;
  TPrograma otro(otra_vista);
  otro.RutaConfiguracion = carpeta.path() + "/x.cfg";
  otro.FormCreate();
  ASSERT_TRUE(testing_support::EsperarIdentidades(otro.DList));
  otro.AbrirLista(ruta);
  EXPECT_EQ(platform::ToUtf8(otro.Aviso), "La lista de copia no tiene nada que copiar.");
  hilos = otro.DList;
  otro.FormDestroy();
  for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  programa.DList.clear();
  programa.OCopia.reset();
}

// A stopped copy says so on its rows at once: the word, and no speed or finish time.
TEST_F(AvisosTest, AStoppedCopySaysSoAtOnce) {
  Soltar(Raiz(u'D') / "Fotos");
  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  Seleccionar({u'E'});
  Soltar(Raiz(u'D') / "Fotos");
  const auto E = programa.DList[Indice(u'E')];
  ASSERT_TRUE(Esperar([&] { return E->GetDFin() > 0; }));
  // The source, stopped since the drop, has written nothing: the stick has its whole job left.
  programa.ToolButtonContinuarDetenerClick();
  const TFila fila = programa.Fila(*E);
  ASSERT_GT(fila.TrabajoFin, 0);
  EXPECT_EQ(fila.TrabajoPos, 0);
  EXPECT_EQ(EstadoFila(fila), TEstadoFila::Detenido);
  EXPECT_EQ(LineaFila(fila).find(u"Termina"), std::u16string::npos);
  EXPECT_TRUE(Resumir(programa.Filas()).Detenida);
  EXPECT_NE(TextoResumen(Resumir(programa.Filas())).find(u"Detenida."), std::u16string::npos);
  // Continue takes every worker out of the stop, the source too.
  programa.ToolButtonContinuarDetenerClick();
  ASSERT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  EXPECT_EQ(EstadoFila(programa.Fila(*programa.DList[Indice(u'E')])), TEstadoFila::Terminado);
}

}  // namespace

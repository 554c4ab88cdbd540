// The verify command on sticks already written: each selected stick is read back against the
// manifest its copy left, nothing is copied, and a stick that cannot be checked (the source, no
// manifest, something other than a file at the manifest's name) is named in a notice.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/TPrograma.h"
#include "engine/TFinComprobaciones.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;

TEST(VerificarUnidades, EachSelectedStickIsCheckedOrNamedInTheNotice) {
  testing_support::UnidadesEnVolumenes unidades({{u"D", u"FUENTE", 0xD0},
                                                 {u"E", u"UNO", 0xE0},
                                                 {u"F", u"DOS", 0xF0, 4096},
                                                 {u"G", u"TRES", 0x60},
                                                 {u"H", u"CUATRO", 0x80}});
  if (!unidades.ok()) GTEST_SKIP() << unidades.error();
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  std::vector<std::u16string> mensajes;
  programa.MostrarMensaje = [&](const std::u16string& texto) { mensajes.push_back(texto); };
  programa.FormCreate();
  ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  auto hilo = [&](const char16_t* letra) {
    for (const auto& h : programa.DList)
      if (h->GetAppRec().Letra == letra) return h;
    return std::shared_ptr<TDHilo>();
  };
  auto elegir = [&](std::u16string letras) {
    for (int i = 0; i < vista.Count(); ++i) {
      vista.SetSelected(i, letras.find(programa.DList[i]->GetAppRec().Letra) != std::u16string::npos);
    }
  };

  const fs::path carpeta = unidades.Raiz(u"D") / "Carpeta";
  testing_support::EscribirAzar(carpeta / "grande.bin", 3 << 20, 1);
  testing_support::EscribirAzar(carpeta / "sub" / "b.bin", 7000, 2);
  elegir(u"");
  programa.WMDropFiles({carpeta.string()});  // chooses the source
  elegir(u"EF");
  programa.WMDropFiles({carpeta.string()});
  auto verificado = [&](const char16_t* letra) {
    const TInstantanea foto = hilo(letra)->GetInstantanea();
    return foto.Estado == TEstado::Terminado && foto.Comprobacion.Verificado;
  };
  ASSERT_TRUE(Esperar([&] { return verificado(u"E") && verificado(u"F"); }));
  // E: other bytes of the same size and time. H: a FIFO at the manifest's name.
  const fs::path cambiado = unidades.Raiz(u"E") / "Carpeta" / "sub" / "b.bin";
  const auto hora = fs::last_write_time(cambiado);
  testing_support::EscribirAzar(cambiado, 7000, 9);
  fs::last_write_time(cambiado, hora);
  ASSERT_EQ(mkfifo((unidades.Raiz(u"H") / "orsanta.xxh128").c_str(), 0600), 0);
  mensajes.clear();

  TFinComprobaciones fin(programa.Entorno->Eventos);
  elegir(u"DEFGH");
  programa.ToolButtonVerificarClick();
  ASSERT_EQ(mensajes.size(), 1u);
  const std::string aviso = platform::ToUtf8(mensajes[0]);
  for (const char* esperado :
       {"FUENTE (D:) es el origen de la copia; no se verifica.",
        "TRES (G:) no tiene manifiesto (orsanta.xxh128); no se verifica.",
        "El manifiesto de CUATRO (H:) no es un archivo normal; no se verifica."}) {
    EXPECT_NE(aviso.find(esperado), std::string::npos) << esperado << " not in: " << aviso;
  }
  EXPECT_EQ(aviso.find("UNO"), std::string::npos) << aviso;
  EXPECT_EQ(aviso.find("DOS"), std::string::npos) << aviso;

  ASSERT_TRUE(Esperar([&] { return fin.Cuantos() == 2; }));
  const TInstantanea uno = hilo(u"E")->GetInstantanea(), dos = hilo(u"F")->GetInstantanea();
  EXPECT_EQ(uno.Estado, TEstado::Fallido);
  EXPECT_EQ(uno.LEC, platform::ERROR_CRC);
  EXPECT_EQ(uno.Comprobacion.Fallidos,
            (std::vector<TArchivoFallido>{{u"Carpeta\\sub\\b.bin", TFalla::Contenido}}));
  EXPECT_EQ(dos.Estado, TEstado::Terminado);
  EXPECT_TRUE(dos.Comprobacion.Verificado);
  EXPECT_EQ(dos.Comprobacion.Pos, (3 << 20) + 7000);
  EXPECT_EQ(hilo(u"G")->GetEstado(), TEstado::Reposo);

  const std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& h : hilos) EXPECT_TRUE(h->Finished());
}

}  // namespace

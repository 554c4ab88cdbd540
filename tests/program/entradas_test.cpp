// Hostile and stale inputs: a stick's listing file that is a FIFO or a link, copy lists crafted to
// reach outside a volume or to plan impossible work, lists older than their sources, a list saved
// in the middle of a copy and opened after a restart; and no lock held by a list open or a drop
// while the window gets its messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "app/ColaBloqueada.h"
#include "app/TPrograma.h"
#include "engine/Manifiesto.h"
#include "records/ArchivoLista.h"
#include "records/Codificacion.h"
#include "records/Listado.h"
#include "platform/drives.h"
#include "platform/file_time.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/entorno_fallos.h"
#include "tests/support/esperar.h"
#include "tests/support/hora_fija.h"
#include "tests/support/granja.h"
#include "tests/support/loop_volume.h"
#include "tests/support/servidor_local.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"
#include "web/PaginaWeb.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Escribir;
using testing_support::Esperar;
using testing_support::Hora;
using testing_support::Leer;
using testing_support::PonerHora;

constexpr std::uint32_t kSerieD = 0xD0, kSerieE = 0xE0, kSerieF = 0xF0, kSerieG = 0x60;

struct TRegistro {
  std::u16string origen, destino;
  std::int64_t talla = 1;
  std::vector<std::uint32_t> series = {kSerieE};
  platform::FileTime escritura = Hora(40);
};

std::string Lista(std::uint32_t origen, std::int32_t cuenta,
                  const std::vector<TRegistro>& registros) {
  std::string bytes;
  EscribirPalabra(bytes, origen);
  EscribirEntero(bytes, cuenta);
  for (const auto& r : registros) {
    TFRec rec;
    rec.ONombre = r.origen;
    rec.Talla = r.talla;
    rec.Atributos = platform::FILE_ATTRIBUTE_ARCHIVE;
    rec.Tiempo.ETiempo = r.escritura;
    rec.EscribirOrigen(bytes);
    EscribirCadena(bytes, r.destino.empty() ? r.origen : r.destino);
    EscribirEntero(bytes, static_cast<std::int32_t>(r.series.size()));
    for (std::uint32_t serie : r.series) EscribirPalabra(bytes, serie);
  }
  return bytes;
}

bool Contiene(const std::vector<std::u16string>& mensajes, const std::u16string& texto) {
  return std::any_of(mensajes.begin(), mensajes.end(), [&](const std::u16string& m) {
    return m.find(texto) != std::u16string::npos;
  });
}

// Runs `paso` on a thread of its own and waits a bounded time: a step that blocks for good
// (a FIFO waited on, a deadlock) ends the whole test program with a failure rather than leave
// it hanging.
template <class Paso>
void SinBloquear(const char* que, Paso paso, std::chrono::seconds limite = std::chrono::seconds(60)) {
  auto hecho = std::async(std::launch::async, std::move(paso));
  if (hecho.wait_for(limite) != std::future_status::ready) {
    ADD_FAILURE() << que << " did not end: blocked";
    std::fprintf(stderr, "%s blocked for good; ending the test program\n", que);
    std::_Exit(1);
  }
  hecho.get();
}

// The program over drives D (the source), E, F and G: folders of a fake drive table, or real
// loop volumes where a test needs them.
class EntradasTest : public ::testing::Test {
 protected:
  void Crear(std::shared_ptr<platform::Env> env = platform::DefaultEnv()) {
    programa = std::make_unique<TPrograma>(vista, std::move(env));
    programa->RutaConfiguracion = (fs::path(carpeta.path()) / "Orsanta.cfg").string();
    programa->MostrarMensaje = [this](const std::u16string& texto) { mensajes.push_back(texto); };
    programa->FormCreate();
  }
  void SetUp() override {
    ASSERT_TRUE(carpeta.ok());
    for (const auto& [letra, serie] : {std::pair{u'D', kSerieD}, {u'E', kSerieE},
                                        {u'F', kSerieF}, {u'G', kSerieG}}) {
      const fs::path raiz = fs::path(carpeta.path()) / std::string(1, static_cast<char>(letra));
      fs::create_directories(raiz);
      unidades->Put({std::u16string(1, letra), raiz.string(), std::u16string(u"U") + letra, serie,
                     platform::DRIVE_REMOVABLE, 512, true});
    }
    platform::SetDrives(unidades);
  }
  void TearDown() override {
    Cerrar();
    platform::SetDrives(nullptr);
  }
  void Cerrar() {
    if (!programa) return;
    std::vector<std::shared_ptr<TDHilo>> hilos = programa->DList;
    if (programa->OCopia) hilos.push_back(programa->OCopia);
    programa->FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    programa.reset();
  }

  fs::path Raiz(char16_t letra) const {
    return fs::path(carpeta.path()) / std::string(1, static_cast<char>(letra));
  }
  std::shared_ptr<TDHilo> Hilo(char16_t letra) const {
    for (const auto& hilo : programa->DList) {
      if (hilo->GetAppRec().Letra == std::u16string(1, letra)) return hilo;
    }
    return nullptr;
  }
  int Indice(char16_t letra) const {
    for (std::size_t i = 0; i < programa->DList.size(); ++i) {
      if (programa->DList[i] == Hilo(letra)) return static_cast<int>(i);
    }
    return -1;
  }
  void Seleccionar(std::initializer_list<char16_t> letras) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (char16_t letra : letras) vista.SetSelected(Indice(letra), true);
  }
  void Abrir(const std::string& bytes) {
    Escribir(ruta_lista, bytes);
    programa->AbrirLista(ruta_lista);
  }
  std::vector<std::u16string> Cola() {
    std::vector<std::u16string> nombres;
    TColaBloqueada cola(*programa->OCopia);
    for (const auto& rec : *cola) nombres.push_back(rec->ONombre);
    return nombres;
  }

  testing_support::TempFolder carpeta, fuera;
  std::shared_ptr<platform::FakeDrives> unidades = platform::MakeFakeDrives();
  testing_support::VistaSimple vista;
  std::unique_ptr<TPrograma> programa;
  const std::string ruta_lista = carpeta.path() + "/lista.orsc";
  std::vector<std::u16string> mensajes;
};

// A crafted list: names that climb out of the source or a destination, absolute names, a NUL,
// a link on the source that leads out of it, sizes no file has. Only the honest record is
// queued; nothing outside a volume is read or written.
TEST_F(EntradasTest, RecordsThatReachOutsideAVolumeAreRefusedAndCounted) {
  Crear();
  const fs::path hostname = fs::path(fuera.path()) / "hostname";
  Escribir(hostname, "secreto");
  Escribir(Raiz(u'D') / "bien.bin", std::string(3000, 'b'));
  fs::create_symlink(hostname, Raiz(u'D') / "enlace");
  // From D's root up to "/" and down to the file outside: "..\..\..\tmp\...\hostname".
  std::u16string sube = u"..\\..\\..\\..\\..\\..\\..\\..";
  for (const auto& parte : fs::path(fuera.path()).relative_path()) {
    const std::string texto = parte.string();
    sube += u"\\" + std::u16string(texto.begin(), texto.end());
  }
  sube += u"\\hostname";
  ASSERT_NO_FATAL_FAILURE(Abrir(Lista(
      kSerieD, 9,
      {{sube, u"hostname"},
       {u"bien.bin", u"..\\..\\fuera.bin"},
       {u"\\etc\\hostname", u"hostname"},
       {u"bien.bin", u"\\\\?\\C:\\x.bin"},
       {std::u16string(u"bien.bin\0x", 10), u"x.bin"},
       {u"bien.bin", u"a/../../b.bin"},
       {u"bien.bin", u"negativo.bin", -1},
       {u"enlace", u"enlace"},
       {u"bien.bin", u"bien.bin", std::int64_t{1} << 62}})));
  // Not one record left: nothing is chosen, and every refusal is counted.
  EXPECT_EQ(programa->OCopia, nullptr);
  EXPECT_EQ(programa->Botones[ToolButtonAbrirGuardar].ImageIndex, 2);
  ASSERT_EQ(mensajes.size(), 1u);
  EXPECT_TRUE(Contiene(mensajes, u"9 registros rechazados")) << std::string(mensajes[0].begin(), mensajes[0].end());
  EXPECT_TRUE(Contiene(mensajes, u"no tiene nada que copiar"));

  // With an honest record among them, that one is queued and copied, and only it.
  mensajes.clear();
  Abrir(Lista(kSerieD, 3,
              {{sube, u"hostname"}, {u"bien.bin", u"bien.bin", 3000}, {u"enlace", u"enlace"}}));
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  ASSERT_EQ(mensajes.size(), 1u);
  EXPECT_TRUE(Contiene(mensajes, u"2 registros rechazados"));
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa->DList));
  EXPECT_EQ(Leer(Raiz(u'E') / "bien.bin"), std::string(3000, 'b'));
  std::vector<std::string> en_e;
  for (const auto& entrada : fs::recursive_directory_iterator(Raiz(u'E'))) {
    // The program's own checksum file beside what was copied.
    if (entrada.path().filename() == fs::path(kNombreManifiesto)) continue;
    en_e.push_back(entrada.path().filename().string());
  }
  EXPECT_EQ(en_e, std::vector<std::string>{"bien.bin"});
  EXPECT_EQ(Leer(hostname), "secreto");
  EXPECT_FALSE(fs::exists(fs::path(carpeta.path()) / "fuera.bin"));
}

TEST_F(EntradasTest, ImpossibleCountsAreRefusedWithAMessage) {
  Crear();
  Escribir(Raiz(u'D') / "a.bin", "a");
  Abrir(Lista(kSerieD, -7, {{u"a.bin"}}));
  EXPECT_EQ(programa->OCopia, nullptr);
  EXPECT_TRUE(Contiene(mensajes, u"incompleta o danada"));
  EXPECT_TRUE(Contiene(mensajes, u"no tiene nada que copiar"));

  // A count far beyond its bytes: the records there are planned, the count is not.
  mensajes.clear();
  Abrir(Lista(kSerieD, 0x7FFFFFFF, {{u"a.bin"}}));
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  EXPECT_TRUE(Contiene(mensajes, u"incompleta o danada"));
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa->DList));
  EXPECT_EQ(Leer(Raiz(u'E') / "a.bin"), "a");
}

// The list was saved when the file had 100 bytes; it has changed since. The copy takes it as it
// is now, also onto a stick that holds the old version with the old time.
TEST_F(EntradasTest, ASourceChangedSinceTheSaveIsCopiedAsItIsNowAndAMissingOneIsReported) {
  Crear();
  ASSERT_TRUE(testing_support::Detener(*Hilo(u'D')));
  Escribir(Raiz(u'D') / "cambiado.bin", std::string(5000, 'n'));
  PonerHora(Raiz(u'D') / "cambiado.bin", 600);
  Escribir(Raiz(u'E') / "cambiado.bin", std::string(100, 'v'));
  PonerHora(Raiz(u'E') / "cambiado.bin", 40);
  Abrir(Lista(kSerieD, 3,
              {{u"cambiado.bin", u"", 100},
               {u"borrado.bin", u"", 100},
               {u"otro_borrado.bin", u"", 100}}));
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  {
    TColaBloqueada cola(*programa->OCopia);
    ASSERT_EQ((*cola).size(), 1u);
    EXPECT_EQ((*cola)[0]->Talla, 5000);
    EXPECT_EQ((*cola)[0]->Tiempo.ETiempo, Hora(600));
  }
  ASSERT_EQ(mensajes.size(), 1u);
  EXPECT_TRUE(Contiene(mensajes, u"2 archivos ya no estan en el origen: borrado.bin, otro_borrado.bin"));
  programa->OCopia->Resume();
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa->DList));
  EXPECT_EQ(Leer(Raiz(u'E') / "cambiado.bin"), std::string(5000, 'n'));
}

// A link on a stick at an entry's name is no copy of the entry, whatever it points at: the
// stick is looked at from its root, links not followed.
TEST_F(EntradasTest, ALinkOnAStickIsNoCopyOfTheEntry) {
  Crear();
  ASSERT_TRUE(testing_support::Detener(*Hilo(u'D')));
  Escribir(Raiz(u'D') / "a.bin", "12345");
  PonerHora(Raiz(u'D') / "a.bin", 40);
  const fs::path igual_fuera = fs::path(fuera.path()) / "a.bin";
  Escribir(igual_fuera, "54321");
  PonerHora(igual_fuera, 40);
  fs::create_symlink(igual_fuera, Raiz(u'E') / "a.bin");
  Abrir(Lista(kSerieD, 1, {{u"a.bin", u"", 5}}));
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  EXPECT_EQ(Cola(), std::vector<std::u16string>{u"a.bin"});
}

TEST_F(EntradasTest, AListWithNothingToDoSaysSoAndTheButtonStillOpens) {
  Crear();
  Escribir(Raiz(u'D') / "a.bin", "a");
  Escribir(Raiz(u'E') / "a.bin", "a");
  PonerHora(Raiz(u'D') / "a.bin", 10);
  PonerHora(Raiz(u'E') / "a.bin", 20);  // the same minute: already there
  int preguntas = 0;
  programa->DialogoAbrir = [&](std::string* ruta) {
    ++preguntas;
    *ruta = ruta_lista;
    return true;
  };
  Escribir(ruta_lista, Lista(kSerieD, 1, {{u"a.bin", u"", 1}}));
  programa->ToolButtonAbrirGuardarClick();
  EXPECT_EQ(mensajes, std::vector<std::u16string>{u"La lista de copia no tiene nada que copiar."});
  EXPECT_EQ(programa->OCopia, nullptr);
  EXPECT_EQ(programa->Botones[ToolButtonAbrirGuardar].ImageIndex, 2);
  EXPECT_EQ(programa->Caption, NombrePrograma());
  EXPECT_TRUE(programa->ToolbarEnabled);
  programa->ToolButtonAbrirGuardarClick();
  EXPECT_EQ(preguntas, 2);
}

// A list saved while a copy runs holds what is still to do on each stick, records the source
// has already taken from its queue included: here every file for F, whose writes fail, and none
// for E, which has them all. After a restart the list finishes the job on F.
TEST_F(EntradasTest, AListSavedDuringACopyHoldsTheWorkStillToDoAndFinishesItAfterARestart) {
  auto fallos = std::make_shared<testing_support::EntornoFallos>();
  fallos->FallarCreacion("/F/", platform::ERROR_GEN_FAILURE);
  Crear(fallos);
  programa->Entorno->TiempoError = 1000;  // F's refused create is noticed at its wait's end
  for (int i = 0; i < 5; ++i) {
    testing_support::EscribirAzar(Raiz(u'D') / "Fotos" / ("f" + std::to_string(i) + ".bin"),
                                  (1 << 20) + i, static_cast<unsigned>(i + 1));
  }
  Seleccionar({u'E', u'F'});
  programa->WMDropFiles({(Raiz(u'D') / "Fotos").string()});
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  const auto E = Hilo(u'E'), F = Hilo(u'F');
  ASSERT_TRUE(Esperar([&] { return F->GetLEC() != 0; }, std::chrono::seconds(60)));
  ASSERT_TRUE(Esperar(
      [&] {
        return E->EnReposo() && E->GetDFin() > 0 && E->GetDPos() == E->GetDFin() &&
               programa->OCopia->EnReposo();
      },
      std::chrono::seconds(60)));
  EXPECT_TRUE(Cola().empty());  // everything was taken from the queue

  programa->GuardarLista(ruta_lista);
  const TListaCopiaLeida guardada = LeerListaCopia(Leer(ruta_lista));
  EXPECT_FALSE(guardada.Danada);
  EXPECT_EQ(guardada.Origen, kSerieD);
  // The five files; the folder was made on F before its first file failed.
  ASSERT_EQ(guardada.Registros.size(), 5u);
  for (const auto& registro : guardada.Registros) {
    EXPECT_EQ(registro.Series, std::vector<std::uint32_t>{kSerieF})
        << std::string(registro.Rec.ONombre.begin(), registro.Rec.ONombre.end());
  }

  // The restart: F writes again.
  Cerrar();
  mensajes.clear();
  Crear();
  Abrir(Leer(ruta_lista));
  ASSERT_NE(programa->OCopia, nullptr);
  EXPECT_TRUE(mensajes.empty());
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa->DList));
  EXPECT_EQ(testing_support::CompararArboles((Raiz(u'D') / "Fotos").string(),
                                             (Raiz(u'F') / "Fotos").string()),
            "");
  // Saved again now, nothing is left to do.
  programa->GuardarLista(ruta_lista);
  EXPECT_TRUE(LeerListaCopia(Leer(ruta_lista)).Registros.empty());
}

// The settings panel switches the status server off while a list opens and the window gets its
// messages, with a request for the page under way: switching off waits for that request, and
// the request must not wait on the open (it did, for the list lock: a deadlock).
TEST_F(EntradasTest, SwitchingTheServerOffWhileAListOpensWaitsOnNothingTheOpenHolds) {
  Crear();
  ConectarPaginaWeb(*programa);
  std::atomic<int> peticiones{0};
  const platform::HttpServer::Handler real = programa->PaginaHTTP;
  programa->PaginaHTTP = [&peticiones, real](std::string_view destino) {
    ++peticiones;
    return real(destino);
  };
  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa->IdHTTPServer);
  ASSERT_NE(puerto, 0);
  Escribir(Raiz(u'D') / "a.bin", "a");
  std::future<bool> pagina;
  bool hecho = false;
  programa->ProcesarMensajes = [&] {
    if (hecho) return;
    hecho = true;
    pagina = std::async(std::launch::async, [puerto] {
      auto respuesta = testing_support::Cliente(puerto).Get("/");
      return respuesta && respuesta->status == 200;
    });
    // The request is in the page's handler before the server is switched off.
    ASSERT_TRUE(Esperar([&] { return peticiones.load() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(programa->ValidarVariable(5, u"No"));
  };
  programa->LDT = 0;  // the first record is a progress point
  SinBloquear("the list open", [&] { Abrir(Lista(kSerieD, 1, {{u"a.bin"}})); });
  ASSERT_TRUE(hecho);
  EXPECT_FALSE(programa->IdHTTPServer->Active());
  ASSERT_TRUE(pagina.valid());
  EXPECT_TRUE(pagina.get());
}

// A drop reads every destination's listing and looks at its entries while the window gets its
// messages; meanwhile the source and the destinations go on (the copy is not stopped) and no
// lock the page or the panel could wait on is held.
TEST_F(EntradasTest, ADropReadsTheListingsWithoutStoppingTheCopy) {
  Crear();
  Escribir(Raiz(u'D') / "primero.bin", std::string(1000, 'p'));
  Escribir(Raiz(u'D') / "segundo.bin", std::string(1000, 's'));
  Seleccionar({u'E'});
  programa->WMDropFiles({(Raiz(u'D') / "primero.bin").string()});
  ASSERT_EQ(programa->OCopia, Hilo(u'D'));
  Seleccionar({u'E', u'F'});
  struct TPunto {
    bool cola_libre, lista_libre, origen_sigue, destinos_siguen;
  };
  std::vector<TPunto> puntos;
  programa->ProcesarMensajes = [&] {
    if (programa->ProgresoTexto.find(u"Comprobando destinos") == std::u16string::npos) return;
    TPunto punto{};
    auto cola = std::async(std::launch::async, [&] {
      programa->OCopia->LockFList();
      programa->OCopia->UnLockFList();
    });
    punto.cola_libre = cola.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    punto.lista_libre = programa->SincronizadorListas.try_lock();
    if (punto.lista_libre) programa->SincronizadorListas.unlock();
    const std::uint64_t vueltas = programa->OCopia->GetVueltas();
    punto.origen_sigue = !programa->OCopia->Suspended() &&
                         Esperar([&] { return programa->OCopia->GetVueltas() > vueltas + 1; });
    punto.destinos_siguen = !Hilo(u'E')->Suspended() && !Hilo(u'F')->Suspended();
    puntos.push_back(punto);
    cola.wait();
  };
  SinBloquear("the drop", [&] { programa->WMDropFiles({(Raiz(u'D') / "segundo.bin").string()}); });
  ASSERT_GE(puntos.size(), 2u);  // at least one point per destination
  for (const TPunto& punto : puntos) {
    EXPECT_TRUE(punto.cola_libre);
    EXPECT_TRUE(punto.lista_libre);
    EXPECT_TRUE(punto.origen_sigue);
    EXPECT_TRUE(punto.destinos_siguen);
  }
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa->DList));
  EXPECT_EQ(Leer(Raiz(u'F') / "segundo.bin"), std::string(1000, 's'));
  EXPECT_EQ(Leer(Raiz(u'E') / "segundo.bin"), std::string(1000, 's'));
}

// Sticks whose root holds, at the listing file's name, a FIFO, a link to /dev/zero and a link to
// a listing outside the stick. A drop onto them neither blocks nor grows, says so, and copies
// everything; the Listar command then writes each listing as a file of its own, without writing
// through the links.
TEST(EntradasVolumenesTest, AHostileListingFileIsIgnoredWithAMessageAndReplacedWhenListed) {
  testing_support::UnidadesEnVolumenes unidades(
      {{u"D", u"FUENTE", kSerieD}, {u"E", u"FIFO", kSerieE}, {u"F", u"CERO", kSerieF},
       {u"G", u"ENLACE", kSerieG}});
  if (!unidades.ok()) GTEST_SKIP() << unidades.error();
  testing_support::TempFolder fuera;
  const auto Raiz = [&](char16_t letra) { return unidades.Raiz(std::u16string(1, letra)); };
  testing_support::EscribirAzar(Raiz(u'D') / "Fotos" / "a.bin", 100000, 1);
  testing_support::EscribirAzar(Raiz(u'D') / "Fotos" / "b.bin", 2000, 2);
  // A listing outside every stick that, were it read, would keep Fotos\b.bin off G.
  std::string listado_ajeno;
  EscribirEntero(listado_ajeno, 42563);
  EscribirEntero(listado_ajeno, 1);
  TFRec ajeno;
  ajeno.ONombre = u"Fotos\\b.bin";
  ajeno.EscribirOrigen(listado_ajeno);
  const fs::path ajeno_ruta = fs::path(fuera.path()) / "ajeno.lst";
  Escribir(ajeno_ruta, listado_ajeno);
  ASSERT_EQ(mkfifo((Raiz(u'E') / "Orsanta.lst").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", Raiz(u'F') / "Orsanta.lst");
  fs::create_symlink(ajeno_ruta, Raiz(u'G') / "Orsanta.lst");

  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  testing_support::TempFolder ajustes;
  programa.RutaConfiguracion = ajustes.path() + "/Orsanta.cfg";
  std::vector<std::u16string> mensajes;
  programa.MostrarMensaje = [&](const std::u16string& texto) { mensajes.push_back(texto); };
  programa.FormCreate();
  ASSERT_EQ(programa.DList.size(), 4u);
  ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  for (int i = 0; i < 4; ++i) vista.SetSelected(i, i > 0);
  SinBloquear("the drop", [&] { programa.WMDropFiles({(Raiz(u'D') / "Fotos").string()}); });
  ASSERT_EQ(mensajes.size(), 1u);
  for (const std::u16string unidad : {u"FIFO (E:)", u"CERO (F:)", u"ENLACE (G:)"}) {
    EXPECT_TRUE(Contiene(mensajes, u"El listado de " + unidad + u" no es un archivo normal"))
        << std::string(unidad.begin(), unidad.end());
  }
  EXPECT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  for (char16_t letra : {u'E', u'F', u'G'}) {
    EXPECT_EQ(testing_support::CompararArboles((Raiz(u'D') / "Fotos").string(),
                                               (Raiz(letra) / "Fotos").string()),
              "");
  }

  // Listed: each stick gets a listing file of its own; nothing outside changes, and a link on a
  // stick to a folder of another volume is listed by its name, not descended into.
  Escribir(fs::path(fuera.path()) / "del_sistema.txt", "x");
  fs::create_symlink(fuera.path(), Raiz(u'G') / "fuera");
  mensajes.clear();
  SinBloquear("the listing", [&] { programa.ToolButtonListarClick(); });
  for (char16_t letra : {u'E', u'F', u'G'}) {
    const fs::path listado = Raiz(letra) / "Orsanta.lst";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(listado))) << static_cast<char>(letra);
    EXPECT_FALSE(LeerListadoBytes(Leer(listado), 42563).empty());
  }
  EXPECT_EQ(Leer(ajeno_ruta), listado_ajeno);
  std::vector<std::u16string> en_g;
  for (const auto& rec : LeerListadoBytes(Leer(Raiz(u'G') / "Orsanta.lst"), 42563)) {
    en_g.push_back(rec->ONombre);
  }
  EXPECT_NE(std::find(en_g.begin(), en_g.end(), u"fuera"), en_g.end());
  for (const std::u16string& nombre : en_g) {
    EXPECT_EQ(nombre.find(u"fuera\\"), std::u16string::npos)
        << std::string(nombre.begin(), nombre.end());
  }
  std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
}

}  // namespace

namespace {

// The fake table of loop volumes, but with the machine's own answer to whether a folder is still
// its drive's mounted root, which a lazy unmount changes.
class TablaMontajeReal final : public platform::Drives {
 public:
  explicit TablaMontajeReal(std::shared_ptr<platform::Drives> tabla)
      : tabla_(std::move(tabla)), linux_(platform::MakeLinuxDrives()) {}
  std::vector<platform::DriveEntry> ListDrives() override { return tabla_->ListDrives(); }
  std::uint32_t GetDriveType(const std::string& m) override { return tabla_->GetDriveType(m); }
  bool GetVolumeInformation(const std::string& m, std::u16string* n, std::uint32_t* s) override {
    return tabla_->GetVolumeInformation(m, n, s);
  }
  bool GetDiskFreeSpace(const std::string& m, std::uint32_t* s) override {
    return tabla_->GetDiskFreeSpace(m, s);
  }
  bool IsMountedFolder(const std::string& m, int fd) override {
    return linux_->IsMountedFolder(m, fd);
  }
  bool GetDiskFreeSpaceEx(const std::string& m, std::int64_t* l, std::int64_t* t) override {
    return tabla_->GetDiskFreeSpaceEx(m, l, t);
  }
  bool MountPoint(const std::u16string& n, std::string* d) override { return tabla_->MountPoint(n, d); }
  bool DriveOf(const std::string& p, platform::DriveEntry* d, std::string* r) override {
    return tabla_->DriveOf(p, d, r);
  }

 private:
  std::shared_ptr<platform::Drives> tabla_, linux_;
};

TEST(EntradasVolumenesTest, AStickUnmountedLazilyGetsNoListingInTheFolderLeftBehind) {
  if (!testing_support::LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
  testing_support::LoopVolume volumen({});
  ASSERT_TRUE(volumen.ok()) << volumen.error();
  auto fake = platform::MakeFakeDrives();
  fake->Put({u"E", volumen.mount_point(), u"PALO", kSerieE, platform::DRIVE_REMOVABLE, 512, true});
  platform::SetDrives(std::make_shared<TablaMontajeReal>(fake));
  testing_support::VistaSimple vista;
  TPrograma programa(vista);
  testing_support::TempFolder ajustes;
  programa.RutaConfiguracion = ajustes.path() + "/Orsanta.cfg";
  programa.FormCreate();
  ASSERT_EQ(programa.DList.size(), 1u);
  TDHilo& E = *programa.DList[0];

  // Mounted, the listing is written; pulled (lazily unmounted), the bare folder gets nothing.
  std::deque<std::unique_ptr<TFRec>> lista;
  lista.push_back(std::make_unique<TFRec>());
  lista.back()->ONombre = u"a.bin";
  programa.GuardarListado(E, lista);
  const fs::path listado = fs::path(volumen.mount_point()) / "Orsanta.lst";
  EXPECT_TRUE(fs::exists(listado));
  ASSERT_TRUE(volumen.UnmountLazily()) << volumen.error();
  ASSERT_FALSE(fs::exists(listado));
  programa.GuardarListado(E, lista);
  EXPECT_TRUE(fs::is_empty(volumen.mount_point()));
  EXPECT_TRUE(programa.LeerListado(E).empty());

  std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
  programa.FormDestroy();
  for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  platform::SetDrives(nullptr);
}

}  // namespace

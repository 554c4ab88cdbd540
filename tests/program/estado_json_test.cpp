// /status.json read by a real HTTP client while a copy runs on loop-mounted volumes: its values
// are those of the workers' snapshots.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/FechaIso.h"
#include "app/TPrograma.h"
#include "app/UnidadJson.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "records/Tallas.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/fallos_transferencia.h"
#include "tests/support/json_prueba.h"
#include "tests/support/servidor_local.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"
#include "web/PaginaWeb.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::LeerJson;
using testing_support::UnidadesEnVolumenes;
using testing_support::ValorJson;

std::u16string Texto(const ValorJson& objeto, std::string_view nombre) {
  const ValorJson* v = objeto.Miembro(nombre);
  return v != nullptr && v->tipo == ValorJson::Tipo::Texto ? v->texto : u"<missing>";
}

// The drive as /status.json gives it agrees with the snapshot, member by member.
void Comparar(const ValorJson& unidad, const TInstantanea& foto, const char* papel,
              const char* estado) {
  SCOPED_TRACE(platform::ToUtf8(foto.HRec.Nombre));
  EXPECT_EQ(Texto(unidad, "letter"), foto.HRec.Letra);
  EXPECT_EQ(Texto(unidad, "label"), foto.HRec.Nombre);
  EXPECT_EQ(unidad.Texto("serial"), SerieTexto(foto.HRec.ID));
  EXPECT_EQ(Texto(unidad, "mount"), platform::DecodeName(foto.HRec.Montaje));
  EXPECT_EQ(unidad.Texto("role"), papel);
  EXPECT_EQ(unidad.Texto("state"), estado);
  EXPECT_EQ(unidad.Entero("bytes_done"), foto.DPos);
  EXPECT_EQ(unidad.Entero("bytes_total"), foto.DFin);
  EXPECT_EQ(unidad.Entero("speed"), foto.Velocidad.BytesSegundo);
  if (foto.Velocidad.BytesSegundo == 0) {
    EXPECT_TRUE(unidad.Miembro("finish")->EsNulo());
  } else {
    EXPECT_EQ(unidad.Texto("finish"), FechaHoraIso(foto.Velocidad.Termina));
  }
  const std::u16string archivo = foto.EsOrigen ? foto.Muestra.ONombre : foto.Muestra.DNombre;
  EXPECT_EQ(Texto(unidad, "file"), NombreConBarras(archivo));
  EXPECT_TRUE(unidad.Miembro("error")->EsNulo());
}

class EstadoJsonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unidades = std::make_unique<UnidadesEnVolumenes>(std::vector<UnidadesEnVolumenes::Unidad>{
        {u"D", u"FUENTE", 0xD0}, {u"E", u"UNO", 0xE0}, {u"F", u"DOS\"<\u00d1>", 0xF0, 4096}});
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
    ASSERT_TRUE(carpeta.ok());
    programa.RutaConfiguracion = carpeta.path() + "/Orsanta.cfg";  // none: the defaults
    ConectarPaginaWeb(programa);
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 3u);
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
    // A hung transfer must not turn into an error while the test looks at it.
    programa.Entorno->TiempoError = 600000;
  }
  void TearDown() override {
    if (!unidades || !unidades->ok()) return;
    fallos.Liberar();
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }

  // GET /status.json, parsed.
  std::optional<ValorJson> Estado(std::uint16_t puerto) {
    auto respuesta = testing_support::Cliente(puerto).Get("/status.json");
    EXPECT_TRUE(respuesta);
    if (!respuesta) return std::nullopt;
    EXPECT_EQ(respuesta->status, 200);
    EXPECT_EQ(respuesta->get_header_value("Content-Type"), "application/json");
    auto valor = LeerJson(respuesta->body);
    EXPECT_TRUE(valor) << respuesta->body;
    return valor;
  }

  std::unique_ptr<UnidadesEnVolumenes> unidades;
  testing_support::TempFolder carpeta;
  testing_support::FallosTransferencia fallos;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_F(EstadoJsonTest, DuringACopyTheValuesAreThoseOfTheSnapshots) {
  const fs::path fotos = unidades->Raiz(u"D") / "Fotos";
  const std::int64_t talla_primero = (3 << 20) + 17;
  testing_support::EscribirAzar(fotos / "a_primero.bin", talla_primero, 1);
  testing_support::EscribirAzar(fotos / "grande.bin", 8 << 20, 2);
  // The first file is copied whole; the second one's transfers hang, and the copy holds still
  // in the middle, where its figures can be compared.
  fallos.Colgar("grande.bin");
  for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, i != 0);
  programa.WMDropFiles({(fotos / "a_primero.bin").string(), (fotos / "grande.bin").string()});
  ASSERT_EQ(programa.OCopia, programa.DList[0]);
  const std::int64_t hecho_e = RedondearTalla(512, talla_primero);
  const std::int64_t hecho_f = RedondearTalla(4096, talla_primero);
  ASSERT_TRUE(Esperar([&] {
    return fallos.colgadas() > 0 && programa.DList[1]->GetDPos() == hecho_e &&
           programa.DList[2]->GetDPos() == hecho_f && programa.DList[1]->EnReposo() &&
           programa.DList[2]->EnReposo() &&
           programa.DList[1]->GetEstado() == TEstado::EnCola &&
           programa.DList[2]->GetEstado() == TEstado::EnCola;
  }));
  // One timer tick gives every worker a speed and a finish time.
  programa.TimerVTimer();
  std::vector<TInstantanea> antes;
  for (const auto& hilo : programa.DList) antes.push_back(hilo->GetInstantanea());

  const std::uint16_t puerto = testing_support::ActivarEnPuertoLibre(*programa.IdHTTPServer);
  ASSERT_NE(puerto, 0);
  const auto estado = Estado(puerto);
  ASSERT_TRUE(estado);
  EXPECT_EQ(estado->Texto("program"), "Orsanta");
  EXPECT_EQ(estado->Texto("version"), FechaIso(programa.AppVersion));
  const ValorJson* lista = estado->Miembro("drives");
  ASSERT_NE(lista, nullptr);
  ASSERT_EQ(lista->lista.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    // The copy holds still: the snapshot after the request is the one before it.
    const TInstantanea despues = programa.DList[i]->GetInstantanea();
    ASSERT_EQ(despues.DPos, antes[i].DPos);
    ASSERT_EQ(despues.Estado, antes[i].Estado);
    Comparar(lista->lista[i], antes[i], i == 0 ? "source" : "destination",
             i == 0 ? "writing" : "queued");
  }
  EXPECT_EQ(lista->lista[1].Entero("bytes_done"), hecho_e);
  EXPECT_NE(lista->lista[1].Entero("speed"), 0);
  EXPECT_EQ(Texto(lista->lista[0], "file"), u"Fotos/grande.bin");
  EXPECT_EQ(Texto(lista->lista[2], "label"), u"DOS\"<\u00d1>");

  // Released, the copy ends, and the status says so.
  fallos.Liberar();
  ASSERT_TRUE(testing_support::EsperarTrabajos(programa.DList));
  const auto final = Estado(puerto);
  ASSERT_TRUE(final);
  const ValorJson& uno = final->Miembro("drives")->lista.at(1);
  EXPECT_EQ(uno.Texto("state"), "done");
  EXPECT_EQ(uno.Entero("bytes_done"), uno.Entero("bytes_total"));
}

}  // namespace

// The figures of a row on real loop-mounted volumes, as a table: the free space is read again
// when a stick's job ends, "Faltan" shows only while the queued work exceeds the free space, and
// a new job on an idle stick counts its percentage from its own totals.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/FilaDispositivo.h"
#include "app/LineaDispositivo.h"
#include "app/TPrograma.h"
#include "platform/drives.h"
#include "platform/locale.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Esperar;
using testing_support::EscribirAzar;

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;

struct TCaso {
  const char* nombre;
  // On the stick before the drop: `parcial` bytes of each file to copy, as a cancelled copy
  // leaves them (0: none), and a filler that leaves `libre` bytes free (0: no filler).
  std::int64_t parcial;
  std::int64_t libre;
  // The source stopped: the work stays queued and the row shows what it would leave.
  bool detenido;
  bool faltan_en_cola;   // expected while queued (stopped source only)
  bool quitar_relleno;   // the filler goes before the copy runs
  // A second drop of `segunda` bytes once the first job is done (0: none).
  std::int64_t segunda;
};

void PrintTo(const TCaso& caso, std::ostream* os) { *os << caso.nombre; }

class CifrasFilaTest : public ::testing::TestWithParam<TCaso> {
 protected:
  void SetUp() override {
    platform::SetLocaleForTests(platform::LocaleFormat{});
    unidades = std::make_unique<testing_support::UnidadesEnVolumenes>(
        std::vector<testing_support::UnidadesEnVolumenes::Unidad>{{u"D", u"FUENTE", 0xD0},
                                                                  {u"E", u"UNO", 0xE0}});
    if (!unidades->ok()) GTEST_SKIP() << unidades->error();
    // Three files of 1 MiB and a bit: 3 MiB of work.
    for (int i = 0; i < 3; ++i) {
      EscribirAzar(Raiz(u'D') / "Trabajo" / ("f" + std::to_string(i) + ".bin"), kMiB + 17, i + 1);
    }
    EscribirAzar(Raiz(u'D') / "Segunda" / "s.bin", 0, 9);
    programa.FormCreate();
    ASSERT_EQ(programa.DList.size(), 2u);
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
  }
  void TearDown() override {
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
    platform::ResetLocale();
  }

  fs::path Raiz(char16_t letra) const { return unidades->Raiz(std::u16string(1, letra)); }
  std::shared_ptr<TDHilo> Hilo(char16_t letra) const {
    for (const auto& hilo : programa.DList)
      if (hilo->GetAppRec().Letra == std::u16string(1, letra)) return hilo;
    return nullptr;
  }
  std::int64_t LibreReal(char16_t letra) const {
    std::int64_t libre = 0, total = 0;
    platform::CurrentDrives()->GetDiskFreeSpaceEx(Raiz(letra).string(), &libre, &total);
    return libre;
  }
  void Soltar(const fs::path& ruta, std::initializer_list<char16_t> destinos) {
    for (int i = 0; i < vista.Count(); ++i) vista.SetSelected(i, false);
    for (std::size_t i = 0; i < programa.DList.size(); ++i)
      for (char16_t letra : destinos)
        if (programa.DList[i]->GetAppRec().Letra == std::u16string(1, letra))
          vista.SetSelected(static_cast<int>(i), true);
    programa.WMDropFiles({ruta.string()});
  }
  // Ticks of the window's timer until the row of `letra` satisfies `condicion`.
  template <typename F>
  bool TicksHasta(char16_t letra, F condicion) {
    return Esperar([&] {
      programa.TimerVTimer();
      return condicion(programa.Fila(*Hilo(letra)));
    });
  }

  std::unique_ptr<testing_support::UnidadesEnVolumenes> unidades;
  testing_support::VistaSimple vista;
  TPrograma programa{vista};
};

TEST_P(CifrasFilaTest, FreeSpaceShortfallAndPercentages) {
  const TCaso& caso = GetParam();
  const fs::path destino = Raiz(u'E') / "Trabajo";
  if (caso.parcial > 0) {
    for (int i = 0; i < 3; ++i)
      EscribirAzar(destino / ("f" + std::to_string(i) + ".bin"), caso.parcial, 50 + i);
  }
  if (caso.libre > 0) {
    const std::int64_t relleno = LibreReal(u'E') - caso.libre;
    ASSERT_GT(relleno, 0);
    EscribirAzar(Raiz(u'E') / "relleno.bin", relleno, 77);
    sync();
  }
  // The first drop with nothing selected chooses the source.
  Soltar(Raiz(u'D') / "Trabajo", {});
  ASSERT_EQ(programa.OCopia, Hilo(u'D'));
  const auto E = Hilo(u'E');
  if (caso.detenido) {
    ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  }
  Soltar(Raiz(u'D') / "Trabajo", {u'E'});
  const std::int64_t trabajo = 3 * RedondearTalla(E->GetAppRec().SectorSize, kMiB + 17);
  ASSERT_TRUE(Esperar([&] { return E->GetDFin() == trabajo; }));

  if (caso.detenido) {
    // Queued, nothing written: the row shows the free space less the work, or the shortfall.
    ASSERT_TRUE(TicksHasta(u'E', [&](const TFila& fila) {
      return fila.Foto.Capacidad.Valida && fila.Foto.Capacidad.Faltan == caso.faltan_en_cola;
    })) << platform::ToUtf8(LineaFila(programa.Fila(*E)));
    const TFila fila = programa.Fila(*E);
    // The older copies that the job writes over give their space back.
    const std::int64_t reemplazo = 3 * RedondearTalla(E->GetAppRec().SectorSize, caso.parcial);
    const std::int64_t esperado = LibreReal(u'E') - trabajo + reemplazo;
    EXPECT_EQ(fila.Foto.Capacidad.Bytes, esperado < 0 ? -esperado : esperado);
    EXPECT_EQ(fila.TrabajoFin, trabajo);
    EXPECT_EQ(PorcentajeTrabajo(fila), 0);
    EXPECT_NE(LineaFila(fila).find(caso.faltan_en_cola ? u" Faltan " : u" Libre "),
              std::u16string::npos);
    if (caso.quitar_relleno) fs::remove(Raiz(u'E') / "relleno.bin");
    programa.OCopia->Resume();
  }
  ASSERT_TRUE(testing_support::EsperarTrabajos({programa.OCopia, E}));

  // Done: the free space is what the drive has now, never a shortfall.
  ASSERT_TRUE(TicksHasta(u'E', [&](const TFila& fila) {
    return EstadoFila(fila) == TEstadoFila::Terminado && fila.Foto.Capacidad.Valida &&
           !fila.Foto.Capacidad.Faltan && fila.Foto.Capacidad.Bytes == LibreReal(u'E');
  })) << platform::ToUtf8(LineaFila(programa.Fila(*E))) << " real " << LibreReal(u'E');
  TFila fila = programa.Fila(*E);
  EXPECT_EQ(EstadoFila(fila), TEstadoFila::Terminado);
  EXPECT_EQ(PorcentajeTrabajo(fila), 100);
  EXPECT_EQ(fila.TrabajoFin, trabajo);
  EXPECT_EQ(LineaFila(fila).find(u"Faltan"), std::u16string::npos);

  if (caso.segunda == 0) return;
  EscribirAzar(Raiz(u'D') / "Segunda" / "s.bin", caso.segunda, 99);
  ASSERT_TRUE(testing_support::Detener(*programa.OCopia));
  Soltar(Raiz(u'D') / "Segunda", {u'E'});
  const std::int64_t segunda = RedondearTalla(E->GetAppRec().SectorSize, caso.segunda);
  ASSERT_TRUE(Esperar([&] { return E->GetDFin() == trabajo + segunda; }));
  // The new job's own totals: nothing of it done yet, whatever the stick did before.
  fila = programa.Fila(*E);
  EXPECT_EQ(fila.TrabajoFin, segunda);
  EXPECT_EQ(fila.TrabajoPos, 0);
  EXPECT_EQ(PorcentajeTrabajo(fila), 0);
  EXPECT_NE(LineaFila(fila).find(u" 0% "), std::u16string::npos)
      << platform::ToUtf8(LineaFila(fila));
  programa.OCopia->Resume();
  ASSERT_TRUE(testing_support::EsperarTrabajos({programa.OCopia, E}));
  fila = programa.Fila(*E);
  EXPECT_EQ(fila.TrabajoPos, segunda);
  EXPECT_EQ(PorcentajeTrabajo(fila), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, CifrasFilaTest,
    ::testing::Values(
        TCaso{"EspacioDeSobra", 0, 0, true, false, false, 0},
        TCaso{"TrabajoMayorQueElLibre", 0, 2 * kMiB, true, true, true, 0},
        TCaso{"CanceladaYDeNuevo", 512 * kKiB, 2 * kMiB, false, false, false, 0},
        // 3 MiB to write over 1.5 MiB of older copies with 2 MiB free: it fits.
        TCaso{"CanceladaYDeNuevoEnCola", 512 * kKiB, 2 * kMiB, true, false, false, 0},
        TCaso{"NuevoTrabajoEnMemoriaInactiva", 0, 0, false, false, false, 256 * kKiB}),
    [](const ::testing::TestParamInfo<TCaso>& info) { return std::string(info.param.nombre); });

}  // namespace

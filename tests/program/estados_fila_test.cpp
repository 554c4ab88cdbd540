// A row's state in words and colours, what a stopped copy shows, and the summary line of a job.
#include <gtest/gtest.h>

#include <set>

#include "app/Contraste.h"
#include "app/FilaDispositivo.h"
#include "platform/locale.h"

namespace {

class EstadosFilaTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLocaleForTests(platform::LocaleFormat{}); }
  void TearDown() override { platform::ResetLocale(); }

  static TFila Fila(TEstado estado, std::int64_t hecho, std::int64_t total,
                    std::int64_t velocidad = 0, double termina = 0, std::uint32_t lec = 0) {
    TFila fila;
    fila.Foto.HRec = {u"STICK", u"E", 2, 512, 4096};
    fila.Foto.Estado = estado;
    fila.Foto.DPos = hecho;
    fila.Foto.DFin = total;
    fila.Foto.LEC = lec;
    fila.Foto.Capacidad = {true, false, 1 << 20};
    fila.Foto.Velocidad = {lec, velocidad, termina};
    fila.TrabajoPos = hecho;
    fila.TrabajoFin = total;
    return fila;
  }
};

TEST_F(EstadosFilaTest, EveryStateHasItsWordAndAColourOfItsOwn) {
  const struct {
    TEstado estado;
    std::uint32_t lec;
    bool detenido;
    TEstadoFila esperado;
    const char16_t* palabra;
    bool verificado = false;
  } casos[] = {
      {TEstado::Reposo, 0, false, TEstadoFila::Reposo, u"Sin trabajo"},
      {TEstado::EnCola, 0, false, TEstadoFila::EnCola, u"En cola"},
      {TEstado::Escribiendo, 0, false, TEstadoFila::Escribiendo, u"Escribiendo"},
      {TEstado::Sincronizando, 0, false, TEstadoFila::Sincronizando, u"Sincronizando..."},
      {TEstado::Verificando, 0, false, TEstadoFila::Verificando, u"Verificando"},
      {TEstado::Verificando, 0, true, TEstadoFila::Detenido, u"Detenido"},
      {TEstado::Terminado, 0, false, TEstadoFila::Terminado, u"Terminado: puede retirarse"},
      {TEstado::Terminado, 0, false, TEstadoFila::Terminado, u"Verificado: puede retirarse",
       true},
      {TEstado::Fallido, 21, false, TEstadoFila::Fallido, u"Fallido"},
      {TEstado::Escribiendo, 21, false, TEstadoFila::Fallido, u"Fallido"},
      {TEstado::Quitado, 0, false, TEstadoFila::Quitado, u"Quitado"},
      {TEstado::Escribiendo, 0, true, TEstadoFila::Detenido, u"Detenido"},
      {TEstado::EnCola, 0, true, TEstadoFila::Detenido, u"Detenido"},
      {TEstado::Terminado, 0, true, TEstadoFila::Terminado, u"Terminado: puede retirarse"},
  };
  for (const auto& caso : casos) {
    TFila fila = Fila(caso.estado, 10, 20, 0, 0, caso.lec);
    fila.Detenido = caso.detenido;
    fila.Foto.Comprobacion.Verificado = caso.verificado;
    EXPECT_EQ(EstadoFila(fila), caso.esperado) << platform::ToUtf8(caso.palabra);
    EXPECT_EQ(PalabraEstado(EstadoFila(fila), false, caso.verificado), caso.palabra);
  }
  std::set<platform::Color> colores;
  for (int i = 0; i < kNumEstadosFila; ++i) colores.insert(ColorEstado(static_cast<TEstadoFila>(i)));
  EXPECT_EQ(colores.size(), static_cast<std::size_t>(kNumEstadosFila));
  // The source reads and is simply done.
  EXPECT_EQ(PalabraEstado(TEstadoFila::Escribiendo, true, false), u"Leyendo");
  EXPECT_EQ(PalabraEstado(TEstadoFila::Terminado, true, false), u"Terminado");
}

TEST_F(EstadosFilaTest, SpeedShowsOnlyWhileDataMoves) {
  const double termina = 0.5;  // 12:00:00
  TFila escribiendo = Fila(TEstado::Escribiendo, 10, 20, 1 << 20, termina);
  EXPECT_EQ(LineaFila(escribiendo),
            u"STICK (E)  Libre 1.00 Mb 50% 1.00 Mb/Seg. Termina " +
                platform::FormatLongTime(termina));
  // Stopped, done or queued: the last speed would be stale.
  TFila detenida = escribiendo;
  detenida.Detenido = true;
  EXPECT_EQ(LineaFila(detenida), u"STICK (E)  Libre 1.00 Mb 50% ");
  EXPECT_EQ(LineaFila(Fila(TEstado::Terminado, 20, 20, 1 << 20, termina)),
            u"STICK (E)  Libre 1.00 Mb 100% ");
  EXPECT_EQ(LineaFila(Fila(TEstado::EnCola, 0, 20, 1 << 20, termina)),
            u"STICK (E)  Libre 1.00 Mb 0% ");
  // Past the total by sector rounding: no more than 100 %.
  EXPECT_EQ(PorcentajeTrabajo(Fila(TEstado::Terminado, 30, 20)), 100);
  EXPECT_EQ(PorcentajeTrabajo(Fila(TEstado::Reposo, 0, 0)), -1);
}

TEST_F(EstadosFilaTest, SummaryOfAJobWithOneFailedStick) {
  TFila origen = Fila(TEstado::Escribiendo, 50, 100, 1 << 20, 0.6);
  origen.Foto.EsOrigen = true;
  const std::vector<TFila> filas = {
      origen,
      Fila(TEstado::Terminado, 100, 100),
      Fila(TEstado::Escribiendo, 40, 100, 1 << 20, 0.70),
      Fila(TEstado::Escribiendo, 90, 100, 1 << 20, 0.65),
      Fila(TEstado::Fallido, 30, 100, 0, 0, 112),
      Fila(TEstado::Reposo, 0, 0),  // a stick outside the job
  };
  const TResumen resumen = Resumir(filas);
  EXPECT_EQ(resumen.Memorias, 4);
  EXPECT_EQ(resumen.Terminadas, 1);
  EXPECT_EQ(resumen.Fallidas, 1);
  EXPECT_EQ(resumen.Quedan, 60);
  EXPECT_DOUBLE_EQ(resumen.Termina, 0.70);
  EXPECT_EQ(TextoResumen(resumen),
            u"Copia: 4 memorias, 1 terminada, 1 fallida. Quedan 60.00 Byte en la más lenta. "
            u"Termina " + platform::FormatLongTime(0.70) + u".");
}

TEST_F(EstadosFilaTest, SummaryWhenStoppedWhenQueuedAndWhenDone) {
  TFila detenida = Fila(TEstado::Escribiendo, 40, 100, 1 << 20, 0.7);
  detenida.Detenido = true;
  EXPECT_EQ(TextoResumen(Resumir({detenida, Fila(TEstado::Terminado, 100, 100)})),
            u"Copia: 2 memorias, 1 terminada, 0 fallidas. Quedan 60.00 Byte en la más lenta. "
            u"Detenida.");
  // A stick still queued has no speed yet: no finish time can be told.
  const TResumen en_cola =
      Resumir({Fila(TEstado::Escribiendo, 40, 100, 1 << 20, 0.7), Fila(TEstado::EnCola, 0, 100)});
  EXPECT_EQ(en_cola.Termina, 0);
  EXPECT_EQ(en_cola.Quedan, 100);
  EXPECT_EQ(TextoResumen(Resumir({Fila(TEstado::Terminado, 100, 100),
                                  Fila(TEstado::Fallido, 1, 100, 0, 0, 21)})),
            u"Copia: 2 memorias, 1 terminada, 1 fallida. Terminada.");
  EXPECT_EQ(TextoResumen(Resumir({Fila(TEstado::Reposo, 0, 0)})), u"Sin copia en curso.");
}

TEST_F(EstadosFilaTest, LegibleTextKeepsTheContrastOnAnyColour) {
  EXPECT_NEAR(Contraste(platform::Rgb(0, 0, 0), platform::Rgb(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(Contraste(platform::Rgb(247, 255, 255), platform::Rgb(0, 210, 210)), 1.86, 0.01);
  for (unsigned r = 0; r < 256; r += 15)
    for (unsigned g = 0; g < 256; g += 15)
      for (unsigned b = 0; b < 256; b += 15) {
        const platform::Color fondo = platform::Rgb(r, g, b);
        EXPECT_GE(Contraste(fondo, LetraLegible(fondo, platform::Rgb(247, 255, 255))),
                  kContrasteMinimo);
      }
  // A preferred colour that reads is kept.
  EXPECT_EQ(LetraLegible(platform::Rgb(255, 255, 255), platform::Rgb(200, 0, 0)),
            platform::Rgb(200, 0, 0));
}

}  // namespace

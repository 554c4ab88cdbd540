// What a worker's item of the device list shows, drawn on a recording surface.
#include <gtest/gtest.h>

#include "app/LineaDispositivo.h"
#include "app/PintarDispositivo.h"
#include "engine/TDHilo.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "tests/support/canvas_registro.h"
#include "tests/support/hilos_prueba.h"

namespace {

using testing_support::CanvasRegistro;

class PintarTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLocaleForTests(platform::LocaleFormat{}); }
  void TearDown() override { platform::ResetLocale(); }

  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  TColores colores;
  testing_support::HilosPrueba hilos{entorno};
  const platform::Rect item{0, 20, 400, 40};
};

TEST_F(PintarTest, ProgressFillsTheUpperBarAndTheFileFillsTheLowerOne) {
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto hilo = hilos.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000,
                                u"Fotos\\IMG_0001.JPG", 300, 1200);
  CanvasRegistro canvas;
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  PintarDispositivo(hilo->GetInstantanea(), colores, canvas, item);

  ASSERT_EQ(canvas.rellenos.size(), 4u);
  EXPECT_EQ(canvas.rellenos[0].color, platform::Rgb(255, 255, 255));  // the item's background
  // 25 % of 400 pixels in the upper half; 300 of 1200 bytes of the file in the lower half.
  EXPECT_EQ(canvas.rellenos[1].rect.Right, 100);
  EXPECT_EQ(canvas.rellenos[1].rect.Top, 20);
  EXPECT_EQ(canvas.rellenos[1].rect.Bottom, 30);
  EXPECT_EQ(canvas.rellenos[1].color, colores.ColorDestino.load());
  EXPECT_EQ(canvas.rellenos[2].rect.Right, 100);
  EXPECT_EQ(canvas.rellenos[2].rect.Top, 30);
  EXPECT_EQ(canvas.rellenos[2].rect.Bottom, 40);
  // The state's tag at the right of the lower half, above the closing line.
  EXPECT_EQ(canvas.rellenos[3].color, ColorEstado(TEstadoFila::EnCola));
  EXPECT_EQ(canvas.rellenos[3].rect.Right, 399);
  EXPECT_EQ(canvas.rellenos[3].rect.Top, 30);
  EXPECT_EQ(canvas.rellenos[3].rect.Bottom, 39);

  // Black on the cyan bar and on white: each line is drawn once.
  ASSERT_EQ(canvas.textos.size(), 3u);
  const std::u16string linea1 = canvas.textos[0].text;
  EXPECT_EQ(linea1.substr(0, 10), u"STICK (E) ");
  EXPECT_NE(linea1.find(u" 25% "), std::u16string::npos) << platform::ToUtf8(linea1);
  EXPECT_EQ(canvas.textos[0].x, 1);
  EXPECT_EQ(canvas.textos[1].text, u"Fotos\\IMG_0001.JPG");
  EXPECT_EQ(canvas.textos[1].y, 30);
  EXPECT_EQ(canvas.textos[2].text, u"En cola");
  EXPECT_EQ(canvas.textos[2].y, 30);
  ASSERT_EQ(canvas.lineas.size(), 1u);
  EXPECT_EQ(canvas.lineas[0].Top, 39);
}

// Over the bar and beside it, each part of a line takes the colour that reads on it: here
// white on a dark bar and the preferred dark text on the white background.
TEST_F(PintarTest, TextOverTheBarTakesItsOwnColour) {
  colores.ColorDestino = platform::Rgb(0, 0, 120);
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto hilo = hilos.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000, u"a.bin", 0, 0);
  CanvasRegistro canvas(8);  // the first line runs well past the bar's end at 100
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  canvas.SetFontColor(platform::Rgb(40, 40, 40));
  PintarDispositivo(hilo->GetInstantanea(), colores, canvas, item);
  ASSERT_GE(canvas.textos.size(), 2u);
  const auto& sobre = canvas.textos[0];
  const auto& fuera = canvas.textos[1];
  EXPECT_EQ(sobre.text, fuera.text);
  EXPECT_TRUE(sobre.recortado);
  EXPECT_EQ(sobre.clip.Right, 100);
  EXPECT_EQ(sobre.color, platform::Rgb(255, 255, 255));
  EXPECT_TRUE(fuera.recortado);
  EXPECT_EQ(fuera.clip.Left, 100);
  EXPECT_EQ(fuera.color, platform::Rgb(40, 40, 40));
}

TEST_F(PintarTest, SourceUsesItsColourAndShowsSourceNames) {
  auto origen = hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  origen->AddDFin(1000);
  ASSERT_TRUE(testing_support::Esperar([&] { return origen->GetDFin() == 1000; }));
  CanvasRegistro canvas;
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  PintarDispositivo(origen->GetInstantanea(), colores, canvas, item);
  ASSERT_EQ(canvas.rellenos.size(), 3u);
  EXPECT_EQ(canvas.rellenos[1].rect.Right, 0);  // nothing done yet
  EXPECT_EQ(canvas.rellenos[1].color, colores.ColorOrigen.load());
  EXPECT_NE(canvas.textos[0].text.find(u" 0% "), std::u16string::npos);
  EXPECT_EQ(canvas.textos[0].text.substr(0, 11), u"FUENTE (D) ");
}

TEST_F(PintarTest, ErrorShowsTheFailedFileInTheErrorColour) {
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto hilo = hilos.EnError({u"MALO", u"F", 3, 512, 4096}, u"a\\b.bin", 8000, 2000, 4000);
  ASSERT_EQ(hilo->GetLEC(), platform::WAIT_TIMEOUT);
  ASSERT_TRUE(testing_support::Esperar([&] { return hilo->GetDFin() == 8000; }));
  hilo->OnTime();
  CanvasRegistro canvas;
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  PintarDispositivo(hilo->GetInstantanea(), colores, canvas, item);
  ASSERT_EQ(canvas.rellenos.size(), 4u);
  EXPECT_EQ(canvas.rellenos[1].rect.Right, 0);  // nothing done
  EXPECT_EQ(canvas.rellenos[2].rect.Right, 200);
  EXPECT_EQ(canvas.rellenos[2].color, colores.ColorError.load());
  EXPECT_EQ(canvas.rellenos[3].color, ColorEstado(TEstadoFila::Fallido));
  EXPECT_EQ(canvas.textos.back().text, u"Fallido");
  // Half the file is on the error-coloured bar: the path is drawn in two parts.
  EXPECT_EQ(canvas.textos[canvas.textos.size() - 2].text, u"a\\b.bin");
  EXPECT_NE(canvas.textos[0].text.find(u" 0% (" + TextoVelocidad(hilo->GetVelocidad()).substr(1)),
            std::u16string::npos);
}

TEST_F(PintarTest, NoWorkTotalMeansNoPercentageAndNoUpperBar) {
  auto origen = hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  CanvasRegistro canvas;
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  PintarDispositivo(origen->GetInstantanea(), colores, canvas, item);
  ASSERT_EQ(canvas.rellenos.size(), 2u);  // the background and the state's tag
  EXPECT_EQ(canvas.rellenos[1].color, ColorEstado(TEstadoFila::Reposo));
  EXPECT_EQ(canvas.textos[0].text.find(u"%"), std::u16string::npos);
  EXPECT_EQ(canvas.textos.back().text, u"Sin trabajo");
}

TEST_F(PintarTest, ALongPathKeepsItsProgressTextAtTheEnd) {
  hilos.Origen({u"FUENTE", u"D", 1, 512, 4096});
  auto hilo = hilos.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000,
                                u"Fotos\\2016\\Viaje\\IMG_0001.JPG", 0, 0, {1200, 25});
  CanvasRegistro canvas;
  canvas.SetBrushColor(platform::Rgb(255, 255, 255));
  // 45 pixels less the tag "En cola" (7, its margins 4 and 1), the progress text (12) and two:
  // 18 pixels for the path.
  PintarDispositivo(hilo->GetInstantanea(), colores, canvas, {0, 0, 45, 20});
  EXPECT_EQ(canvas.textos[1].text, u"...\\IMG_0001.JPG 1.17 Kb 25%");
}

}  // namespace

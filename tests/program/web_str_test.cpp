// A worker's line of the status page in each state the device list knows.
#include <gtest/gtest.h>

#include <functional>

#include "app/LineaDispositivo.h"
#include "engine/TDHilo.h"
#include "platform/locale.h"
#include "tests/support/hilos_prueba.h"
#include "web/PaginaWeb.h"

namespace {

using testing_support::Esperar;
using testing_support::HilosPrueba;

class WebStrTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetLocaleForTests(platform::LocaleFormat{}); }
  void TearDown() override { platform::ResetLocale(); }

  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  HilosPrueba hilos{entorno};
};

TEST_F(WebStrTest, LineByState) {
  const std::u16string kTiempo = u"(Se ha agotado el tiempo de espera de la operaci\u00f3n)";
  const struct {
    const char* caso;
    std::function<std::shared_ptr<TDHilo>(HilosPrueba&)> hacer;
    std::u16string esperado;  // followed by the speed text where `con_velocidad`
    bool con_velocidad;
  } casos[] = {
      {"a source without work has no percentage",
       [](HilosPrueba& h) {
         auto hilo = h.Origen({u"FUENTE", u"D", 1, 512, 4096});
         hilo->AddDFin(0);
         Esperar([&] { return hilo->GetCapacidad().Valida; });
         return hilo;
       },
       u"FUENTE (D)  Libre 0.00 Byte", false},
      {"a quarter done shows 25 % and the speed",
       [](HilosPrueba& h) {
         auto hilo = h.ConProgreso({u"STICK", u"E", 2, 512, 4096}, 4000, 1000);
         // The shortfall is worked out again, now that the progress is in.
         hilo->AddDFin(0);
         Esperar([&] { return TextoCapacidad(hilo->GetCapacidad()) == u" Faltan 2.93 Kb"; });
         return hilo;
       },
       u"STICK (E)  Faltan 2.93 Kb 25% ", true},
      {"an error without work left shows no error",
       [](HilosPrueba& h) { return h.EnError({u"VACIO", u"F", 3, 512, 4096}, u"a.bin"); },
       u"VACIO (F)  Libre 0.00 Byte", false},
      {"an error with work left shows its text twice",
       [](HilosPrueba& h) {
         auto hilo = h.EnError({u"MALO", u"G", 4, 512, 4096}, u"b.bin", 8000);
         Esperar([&] { return hilo->GetDFin() == 8000; });
         return hilo;
       },
       u"MALO (G)  Faltan 7.81 Kb 0% " + kTiempo + kTiempo, false},
  };
  // The first case makes the source of the destinations that follow.
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    auto hilo = c.hacer(hilos);
    ASSERT_TRUE(Esperar([&] { return hilo->GetCapacidad().Valida; }));
    hilo->OnTime();  // the speed text, or the error text while in error
    std::u16string esperado = c.esperado;
    if (c.con_velocidad) {
      ASSERT_FALSE(TextoVelocidad(hilo->GetVelocidad()).empty());
      esperado += TextoVelocidad(hilo->GetVelocidad());
    }
    EXPECT_EQ(platform::ToUtf8(GetWebStr(hilo->GetInstantanea())), platform::ToUtf8(esperado));
  }
}

}  // namespace

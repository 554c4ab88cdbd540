// A stick is called verified only when every file of its job was read back from the device and
// matched what the source read gave: a stick that gives back other bytes has the file copied
// once more, and fails with the files that differ again, while the others end verified; each
// verified stick holds a manifest that the standard checking tool accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/Manifiesto.h"
#include "platform/errors.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/entorno_fallos.h"
#include "tests/support/granja.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EntornoFallos;
using testing_support::EscribirAzar;
using testing_support::Granja;
using Alteracion = EntornoFallos::Alteracion;

constexpr std::int64_t MiB = 1 << 20;

void EscribirFuente(const fs::path& raiz) {
  EscribirAzar(raiz / "a/grande.bin", 5 * MiB + 123, 1);
  EscribirAzar(raiz / "b.bin", 7000, 2);
  EscribirAzar(raiz / "vacio.bin", 0, 3);
  fs::create_directories(raiz / "c");
}

void EsperarVerificada(const Granja& granja, size_t i) {
  const TInstantanea foto = granja.destinos[i]->GetInstantanea();
  EXPECT_EQ(foto.Estado, TEstado::Terminado) << i;
  EXPECT_EQ(foto.LEC, 0u) << i;
  EXPECT_TRUE(foto.Comprobacion.Verificado) << i;
  EXPECT_EQ(foto.Comprobacion.Pos, foto.Comprobacion.Fin) << i;
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
      << i;
  EXPECT_TRUE(fs::is_regular_file(fs::path(granja.RaizDestino(i)) / "orsanta.xxh128")) << i;
}

// The standard tool (tools/setup.sh installs it) checks the manifest from the stick's root.
int ComprobarConHerramienta(const std::string& raiz) {
  const std::string orden = "cd '" + raiz + "' && xxh128sum --quiet -c orsanta.xxh128";
  return WEXITSTATUS(std::system(orden.c_str()));
}

TEST(Verificacion, ThreeSticksEndVerifiedWithAManifestTheStandardToolAccepts) {
  Granja granja({512}, {{512}, {512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  EscribirFuente(granja.RaizOrigen());
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    EsperarVerificada(granja, i);
    const TInstantanea foto = granja.destinos[i]->GetInstantanea();
    EXPECT_EQ(foto.Comprobacion.Fin, 5 * MiB + 123 + 7000) << i;
    std::ifstream manifiesto(fs::path(granja.RaizDestino(i)) / "orsanta.xxh128");
    std::vector<std::string> lineas;
    for (std::string linea; std::getline(manifiesto, linea);) lineas.push_back(linea.substr(34));
    std::sort(lineas.begin(), lineas.end());
    EXPECT_EQ(lineas, (std::vector<std::string>{"a/grande.bin", "b.bin", "vacio.bin"})) << i;
    EXPECT_EQ(ComprobarConHerramienta(granja.RaizDestino(i)), 0) << i;
  }
  // A file changed afterwards no longer checks.
  EscribirAzar(fs::path(granja.RaizDestino(0)) / "b.bin", 7000, 9);
  EXPECT_EQ(ComprobarConHerramienta(granja.RaizDestino(0)), 1);
}

TEST(Verificacion, WithTheReadBackAndTheManifestOffTheStickIsOnlyDone) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  granja.entorno->Verificar = false;
  granja.entorno->Manifiesto = false;
  EscribirFuente(granja.RaizOrigen());
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  const TInstantanea foto = granja.destinos[0]->GetInstantanea();
  EXPECT_EQ(foto.Estado, TEstado::Terminado);
  EXPECT_FALSE(foto.Comprobacion.Verificado);
  EXPECT_EQ(foto.Comprobacion.Fin, 0);
  EXPECT_FALSE(fs::exists(fs::path(granja.RaizDestino(0)) / "orsanta.xxh128"));
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(0)), "");
}

struct CasoLectura {
  const char* nombre;
  // Arms the fault on the middle stick, whose root is given.
  std::function<void(EntornoFallos&, const std::string&)> armar;
  platform::ErrorCode codigo;            // 0: the stick ends verified after a copy made anew
  std::vector<TArchivoFallido> fallidos;  // the files it names when it fails on a difference
};

class LecturaFalsa : public ::testing::TestWithParam<CasoLectura> {};

TEST_P(LecturaFalsa, IsCaughtOnItsStickAndTheOthersEndVerified) {
  const CasoLectura& caso = GetParam();
  auto entorno = std::make_shared<EntornoFallos>();
  Granja granja({512}, {{512}, {512}, {4096}}, entorno);
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  EscribirFuente(granja.RaizOrigen());
  caso.armar(*entorno, granja.RaizDestino(1));
  granja.Encolar();

  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_GE(entorno->inyectados(), 1);
  for (size_t i : {0u, 2u}) EsperarVerificada(granja, i);
  const TInstantanea foto = granja.destinos[1]->GetInstantanea();
  if (caso.codigo == 0) {
    EsperarVerificada(granja, 1);
    return;
  }
  EXPECT_EQ(foto.Estado, TEstado::Fallido);
  EXPECT_EQ(foto.LEC, caso.codigo);
  EXPECT_FALSE(foto.Comprobacion.Verificado);
  EXPECT_EQ(foto.Comprobacion.Fallidos, caso.fallidos);
  EXPECT_FALSE(fs::exists(fs::path(granja.RaizDestino(1)) / "orsanta.xxh128"));
}

INSTANTIATE_TEST_SUITE_P(
    Sticks, LecturaFalsa,
    ::testing::Values(
        CasoLectura{"bit_cambiado_una_vez",
                    [](EntornoFallos& e, const std::string& r) {
                      e.AlterarLecturas(r + "/a/grande.bin", Alteracion::BitCambiado,
                                        3 * MiB + 17, 1);
                    },
                    0,
                    {}},
        CasoLectura{"bit_cambiado_siempre",
                    [](EntornoFallos& e, const std::string& r) {
                      e.AlterarLecturas(r + "/a/grande.bin", Alteracion::BitCambiado,
                                        3 * MiB + 17, 1000);
                    },
                    platform::ERROR_CRC,
                    {{u"a\\grande.bin", TFalla::Contenido}}},
        CasoLectura{"capacidad_falsa",
                    [](EntornoFallos& e, const std::string& r) {
                      e.AlterarLecturas(r + "/", Alteracion::Ceros, 4 * MiB, 1000);
                    },
                    platform::ERROR_CRC,
                    {{u"a\\grande.bin", TFalla::Contenido}}},
        CasoLectura{"error_de_lectura",
                    [](EntornoFallos& e, const std::string& r) {
                      e.FallarTransferencia(r + "/a/grande.bin", 2, false,
                                            platform::ERROR_GEN_FAILURE);
                    },
                    platform::ERROR_GEN_FAILURE,
                    {}}),
    [](const ::testing::TestParamInfo<CasoLectura>& info) { return info.param.nombre; });

// More files than the read-back plans at a time: every one is read back and counted from the
// start, and a stick that gives other bytes for all of them fails naming every one.
TEST(Verificacion, AReadBackOfManyFilesReadsEveryOneBeforeDecidingOnAny) {
  constexpr int kArchivos = 600;
  auto entorno = std::make_shared<EntornoFallos>();
  Granja granja({512}, {{512}, {4096}}, entorno);
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  std::int64_t total = 0;
  for (int i = 0; i < kArchivos; ++i) {
    const std::int64_t talla = 700 + i;
    const std::string nombre = "f" + std::to_string(i) + ".bin";
    EscribirAzar(fs::path(granja.RaizOrigen()) / "m" / nombre, talla, i);
    total += talla;
  }
  entorno->AlterarLecturas(granja.RaizDestino(1) + "/m/", Alteracion::BitCambiado, 0, 1 << 30);
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());

  EsperarVerificada(granja, 0);
  EXPECT_EQ(granja.destinos[0]->GetInstantanea().Comprobacion.Fin, total);
  const TInstantanea foto = granja.destinos[1]->GetInstantanea();
  EXPECT_EQ(foto.Estado, TEstado::Fallido);
  EXPECT_EQ(foto.LEC, platform::ERROR_CRC);
  EXPECT_EQ(foto.Comprobacion.Fallidos.size(), static_cast<std::size_t>(kArchivos));
}

TEST(Verificacion, TheManifestIsNoUserData) {
  const struct {
    std::u16string ruta;
    bool manifiesto;
  } casos[] = {{u"orsanta.xxh128", true},
               {u"ORSANTA.XXH128", true},
               {u"a\\orsanta.xxh128", false},
               {u"orsanta.xxh128.bak", false}};
  for (const auto& caso : casos) {
    EXPECT_EQ(EsManifiesto(caso.ruta), caso.manifiesto);
  }
  TRecibido salto{u"x", u"linea\nrota", 1, 0, {}, {1, 2}};
  TRecibido normal{u"y", u"d\\e.bin", 1, 0, {}, {0xabcdef, 0x12}};
  EXPECT_EQ(TextoManifiesto({salto, normal}),
            "0000000000abcdef0000000000000012  d/e.bin\n");
}

}  // namespace

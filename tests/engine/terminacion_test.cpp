// What "done" means on a stick: every step of making a copy that fails, fails that stick with
// its own error while the others are copied whole, and no file under its final name ever
// differs from the source; a stick called done holds the job on its device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "engine/NombreTemporal.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/entorno_fallos.h"
#include "tests/support/granja.h"
#include "tests/support/loop_volume.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::EntornoFallos;
using testing_support::EscribirAzar;
using testing_support::Granja;
using Paso = EntornoFallos::Paso;

std::string Temporal(const std::string& nombre) {
  std::string bytes;
  platform::EncodeName(NombreTemporal(std::u16string(nombre.begin(), nombre.end())), &bytes);
  return bytes;
}

std::string Contenido(const fs::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void EscribirFuente(const fs::path& raiz) {
  EscribirAzar(raiz / "a/grande.bin", (3 << 20) + 5, 1);
  EscribirAzar(raiz / "b.bin", 7000, 2);
  EscribirAzar(raiz / "vacio.bin", 0, 3);
  fs::create_directories(raiz / "c");
}

// Every file on a stick under its final name is the source's; no temporary file is left.
void NadaIncompleto(const fs::path& origen, const fs::path& stick) {
  for (const auto& entrada : fs::recursive_directory_iterator(stick)) {
    const fs::path relativo = fs::relative(entrada.path(), stick);
    if (testing_support::NoEsDelTrabajo(relativo.begin()->string())) continue;
    const std::string nombre = entrada.path().filename().string();
    EXPECT_FALSE(EsNombreTemporal(std::u16string(nombre.begin(), nombre.end()))) << relativo;
    if (entrada.is_regular_file()) {
      EXPECT_EQ(Contenido(entrada.path()), Contenido(origen / relativo)) << relativo;
    }
  }
}

struct CasoFallo {
  const char* nombre;
  // Arms the fault on the middle stick, whose root is given.
  std::function<void(EntornoFallos&, const std::string&)> armar;
  platform::ErrorCode codigo;
};

class FalloDePaso : public ::testing::TestWithParam<CasoFallo> {};

TEST_P(FalloDePaso, FailsOnlyItsStickWithItsCodeAndLeavesNothingIncomplete) {
  const CasoFallo& caso = GetParam();
  auto entorno = std::make_shared<EntornoFallos>();
  Granja granja({512}, {{512}, {512}, {4096}}, entorno);
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  EscribirFuente(granja.RaizOrigen());
  caso.armar(*entorno, granja.RaizDestino(1));
  granja.Encolar();

  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_GE(entorno->inyectados(), 1);
  EXPECT_EQ(granja.destinos[1]->GetLEC(), caso.codigo);
  EXPECT_EQ(granja.destinos[1]->GetEstado(), TEstado::Fallido);
  NadaIncompleto(granja.RaizOrigen(), granja.RaizDestino(1));
  for (size_t i : {0u, 2u}) {
    EXPECT_EQ(granja.destinos[i]->GetEstado(), TEstado::Terminado) << i;
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(i)), "")
        << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pasos, FalloDePaso,
    ::testing::Values(
        CasoFallo{"crear",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarCreacion(r + "/a/" + Temporal("grande.bin"),
                                     platform::ERROR_ACCESS_DENIED);
                  },
                  platform::ERROR_ACCESS_DENIED},
        CasoFallo{"crear_vacio",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarCreacion(r + "/" + Temporal("vacio.bin"), platform::ERROR_WRITE_PROTECT);
                  },
                  platform::ERROR_WRITE_PROTECT},
        CasoFallo{"carpetas",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Carpetas, r + "/a", platform::ERROR_PATH_NOT_FOUND);
                  },
                  platform::ERROR_PATH_NOT_FOUND},
        CasoFallo{"reservar_y_cortar",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Longitud, r + "/a/" + Temporal("grande.bin"),
                                 platform::ERROR_DISK_FULL);
                  },
                  platform::ERROR_DISK_FULL},
        CasoFallo{"escritura",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarTransferencia(r + "/a/" + Temporal("grande.bin"), 2, true,
                                          platform::ERROR_CRC);
                  },
                  platform::ERROR_CRC},
        CasoFallo{"escritura_corta",
                  [](EntornoFallos& e, const std::string& r) {
                    e.AcortarTransferencia(r + "/a/" + Temporal("grande.bin"), 1, true, 4096);
                  },
                  platform::ERROR_DISK_FULL},
        CasoFallo{"tiempos",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Tiempos, r + "/" + Temporal("b.bin"),
                                 platform::ERROR_ACCESS_DENIED);
                  },
                  platform::ERROR_ACCESS_DENIED},
        CasoFallo{"atributos",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Atributos, r + "/" + Temporal("b.bin"),
                                 platform::ERROR_ACCESS_DENIED);
                  },
                  platform::ERROR_ACCESS_DENIED},
        CasoFallo{"cierre",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarCierre(r + "/" + Temporal("b.bin"), platform::ERROR_GEN_FAILURE);
                  },
                  platform::ERROR_GEN_FAILURE},
        CasoFallo{"nombre_final",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Renombrar, r + "/b.bin", platform::ERROR_ACCESS_DENIED);
                  },
                  platform::ERROR_ACCESS_DENIED},
        CasoFallo{"sincronizar",
                  [](EntornoFallos& e, const std::string& r) {
                    e.FallarPaso(Paso::Sincronizar, r, platform::ERROR_GEN_FAILURE);
                  },
                  platform::ERROR_GEN_FAILURE}),
    [](const ::testing::TestParamInfo<CasoFallo>& info) { return std::string(info.param.nombre); });

// The moment a stick is done, what its device holds is the job: an image of it taken then,
// with nothing flushed after, holds every file byte for byte.
TEST(Terminacion, ADoneStickHoldsTheJobOnItsDevice) {
  Granja granja({512}, {{512}, {4096}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  EscribirFuente(granja.RaizOrigen());
  for (int i = 0; i < 40; ++i) {
    EscribirAzar(fs::path(granja.RaizOrigen()) / "muchos" / (std::to_string(i) + ".txt"),
                 100 + 37 * i, 10 + i);
  }
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  testing_support::TempFolder carpeta;
  std::vector<std::string> imagenes;
  // Taken at once, one after the other, before anything else can reach the devices.
  for (size_t i = 0; i < granja.destinos.size(); ++i) {
    ASSERT_EQ(granja.destinos[i]->GetEstado(), TEstado::Terminado);
    imagenes.push_back(carpeta.path() + "/imagen" + std::to_string(i) + ".img");
    ASSERT_TRUE(testing_support::RunCommand("cp --sparse=always '" +
                                            granja.VolumenDestino(i).image() + "' '" + imagenes[i] +
                                            "'"));
  }
  for (size_t i = 0; i < imagenes.size(); ++i) {
    const std::string montaje = carpeta.path() + "/m" + std::to_string(i);
    fs::create_directories(montaje);
    ASSERT_TRUE(testing_support::RunCommand("mount -o loop '" + imagenes[i] + "' '" + montaje +
                                            "'"));
    EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), montaje), "") << i;
    testing_support::RunCommand("umount '" + montaje + "'");
  }
}

// A name that holds a backslash, the program's own separator, is copied as it is.
TEST(Terminacion, ANameHoldingABackslashIsCopied) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  const fs::path raiz = granja.RaizOrigen();
  EscribirAzar(raiz / "con\\barra.bin", 3000, 1);
  EscribirAzar(raiz / "carpeta\\rara/dentro.bin", 2000, 2);
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(granja.destinos[0]->GetLEC(), 0u);
  EXPECT_EQ(testing_support::CompararArboles(granja.RaizOrigen(), granja.RaizDestino(0)), "");
  EXPECT_EQ(Contenido(fs::path(granja.RaizDestino(0)) / "con\\barra.bin"),
            Contenido(raiz / "con\\barra.bin"));
}

// A file below 60 folders of 100 bytes each, a path of about 6,000 bytes: longer than a Linux
// path may be in one call, it is walked a folder at a time, here as in the program.
std::string LeerHondo(const std::string& raiz, const std::vector<std::string>& carpetas,
                      const std::string& nombre, const std::string* escribir = nullptr) {
  int fd = ::open(raiz.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const std::string& carpeta : carpetas) {
    if (escribir) ::mkdirat(fd, carpeta.c_str(), 0777);
    const int dentro = ::openat(fd, carpeta.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    if (dentro < 0) return "(missing folder)";
    fd = dentro;
  }
  std::string contenido;
  if (escribir) {
    const int f = ::openat(fd, nombre.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_EQ(::write(f, escribir->data(), escribir->size()),
              static_cast<ssize_t>(escribir->size()));
    ::close(f);
    contenido = *escribir;
  } else {
    const int f = ::openat(fd, nombre.c_str(), O_RDONLY | O_CLOEXEC);
    char bloque[4096];
    ssize_t n;
    while (f >= 0 && (n = ::read(f, bloque, sizeof bloque)) > 0) contenido.append(bloque, n);
    if (f < 0) contenido = "(missing file)";
    ::close(f);
  }
  ::close(fd);
  return contenido;
}

TEST(Terminacion, APathLongerThanALinuxPathIsCopied) {
  Granja granja({512}, {{512}});
  if (!granja.ok()) GTEST_SKIP() << granja.error();
  std::vector<std::string> carpetas;
  for (int i = 0; i < 60; ++i) carpetas.push_back(std::string(99, static_cast<char>('a' + i % 26)));
  const std::string datos(300000, 'z');
  LeerHondo(granja.RaizOrigen(), carpetas, "hondo.bin", &datos);
  granja.Encolar();
  ASSERT_TRUE(granja.EsperarFin());
  EXPECT_EQ(granja.destinos[0]->GetLEC(), 0u);
  EXPECT_EQ(LeerHondo(granja.RaizDestino(0), carpetas, "hondo.bin"), datos);
}

}  // namespace

// The job report: one record per stick as its job ends, with its times from the job's start,
// written to the CSV file and the JSON-lines file of the user's data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/InformeTrabajos.h"
#include "tests/support/json_prueba.h"
#include "tests/support/temp_folder.h"

namespace {

struct Paso {
  double segundos;
  TEstado estado;
  std::int64_t pos;
  std::uint32_t lec = 0;
  bool verificado = false;
  std::vector<std::u16string> fallidos = {};
};

std::string Leer(const std::filesystem::path& ruta) {
  std::ifstream f(ruta, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(InformeTrabajos, EachEndedJobIsOneRecordInBothFiles) {
  const struct {
    const char* nombre;
    std::vector<Paso> pasos;
    std::string csv;  // the record's line less its time; empty: no record
    std::string resultado;
  } casos[] = {
      {"verificado",
       {{10, TEstado::EnCola, 1000},
        {11, TEstado::Escribiendo, 1000},
        {12, TEstado::Verificando, 4001000},
        {13.5, TEstado::Terminado, 4001000, 0, true}},
       "STICK,00C0FFEE,2,4000000,2.0,3.5,2.0,verified,,\n",
       "verified"},
      {"fallido",
       {{0, TEstado::Escribiendo, 0},
        {1, TEstado::Verificando, 100},
        {2, TEstado::Fallido, 100, 23, false, {u"a\\b,c.bin", u"d.bin"}}},
       "STICK,00C0FFEE,2,100,1.0,,0.0,failed,23,\"a/b,c.bin;d.bin\"\n",
       "failed"},
      {"quitado", {{0, TEstado::EnCola, 0}, {1, TEstado::Quitado, 0}},
       "STICK,00C0FFEE,2,0,,,,removed,,\n", "removed"},
      {"sin_trabajo", {{0, TEstado::Reposo, 0}, {1, TEstado::Terminado, 0}}, "", ""},
  };
  for (const auto& caso : casos) {
    testing_support::TempFolder carpeta;
    const std::filesystem::path raiz = std::filesystem::path(carpeta.path()) / "datos/orsanta";
    TInformeTrabajos informe(raiz.string());
    for (const Paso& paso : caso.pasos) {
      TInstantanea foto;
      foto.HRec.Nombre = u"STICK";
      foto.HRec.ID = 0xC0FFEE;
      foto.Estado = paso.estado;
      foto.DPos = paso.pos;
      foto.LEC = paso.lec;
      foto.Comprobacion.Archivos = 2;
      foto.Comprobacion.Verificado = paso.verificado;
      for (const std::u16string& nombre : paso.fallidos) {
        foto.Comprobacion.Fallidos.push_back({nombre, TFalla::Contenido});
      }
      informe.Observar(7, foto, paso.segundos, 45000.5);
    }
    if (caso.csv.empty()) {
      EXPECT_FALSE(std::filesystem::exists(raiz / "informe.csv")) << caso.nombre;
      continue;
    }
    const std::string csv = Leer(raiz / "informe.csv");
    const std::string cabecera =
        "time,label,serial,files,bytes,seconds_done,seconds_verified,mb_s,result,error,"
        "differing\n";
    ASSERT_EQ(csv.substr(0, cabecera.size()), cabecera) << caso.nombre;
    const std::string linea = csv.substr(cabecera.size());
    EXPECT_EQ(linea.substr(linea.find(',') + 1), caso.csv) << caso.nombre;
    const auto json = testing_support::LeerJson(Leer(raiz / "informe.jsonl"));
    ASSERT_TRUE(json.has_value()) << caso.nombre;
    EXPECT_EQ(json->Texto("result"), caso.resultado) << caso.nombre;
    EXPECT_EQ(json->Texto("serial"), "00C0FFEE") << caso.nombre;
    EXPECT_EQ(json->Entero("files"), 2) << caso.nombre;
  }
}

TEST(InformeTrabajos, TheFolderIsTheUsersDataFolder) {
  EXPECT_EQ(CarpetaInformes("/x/datos", "/home/u"), "/x/datos/orsanta");
  EXPECT_EQ(CarpetaInformes("relativa", "/home/u"), "/home/u/.local/share/orsanta");
  EXPECT_EQ(CarpetaInformes(nullptr, "/home/u"), "/home/u/.local/share/orsanta");
  EXPECT_EQ(CarpetaInformes(nullptr, nullptr), "");
}

}  // namespace

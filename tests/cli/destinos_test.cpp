// The destinations --to names and the paths a copy reads, on a drive table of folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/Entradas.h"
#include "cli/Especificaciones.h"
#include "platform/drives.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "tests/support/esperar.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class DestinosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(carpeta.ok());
    platform::SetDrives(tabla);
    // C is the system volume: never chosen as "removable", even when it says it is one.
    Poner(u"C", "/", u"", 0x11111111, platform::DRIVE_REMOVABLE);
    Poner(u"D", Carpeta("fuente"), u"FUENTE", 0xD0, platform::DRIVE_REMOVABLE);
    Poner(u"E", Carpeta("uno"), u"PALO", 0xE0, platform::DRIVE_REMOVABLE);
    Poner(u"F", Carpeta("dos"), u"PALO", 0xF0, platform::DRIVE_REMOVABLE);
    Poner(u"G", Carpeta("fijo"), u"FIJO", 0xABCD1234, platform::DRIVE_FIXED);
    // A label that reads as a serial, and one that is no UTF-8.
    Poner(u"H", Carpeta("hex"), u"000000E0", 0x42, platform::DRIVE_FIXED);
    Poner(u"I", Carpeta("raro"), platform::DecodeName("\xFFx"), 0x43, platform::DRIVE_FIXED);
  }
  void TearDown() override {
    for (auto& hilo : lista) hilo->Terminate();
    for (auto& hilo : lista) {
      EXPECT_TRUE(testing_support::Esperar([&] { return hilo->Finished(); }));
    }
    platform::SetDrives(nullptr);
  }

  std::string Carpeta(const std::string& nombre) {
    const std::string directorio = carpeta.path() + "/" + nombre;
    fs::create_directories(directorio);
    return directorio;
  }

  void Poner(const std::u16string& letra, const std::string& directorio,
             const std::u16string& etiqueta, std::uint32_t serie, std::uint32_t tipo) {
    tabla->Put({letra, directorio, etiqueta, serie, tipo, 512, true});
    auto hilo = TDHilo::Create(entorno);
    // The rows name an unlabelled drive by its type; --to matches the volume's own label.
    hilo->SetAppRec({etiqueta.empty() ? u"Disco extraible" : etiqueta, letra, serie, 512, 512,
                     directorio});
    lista.push_back(hilo);
  }

  // The letters of what the SPECs choose, D being the source unless another is given; or the
  // error.
  std::string Elegir(const std::vector<std::string>& especificaciones,
                     const TDHilo* origen = nullptr) {
    std::vector<std::shared_ptr<TDHilo>> destinos;
    std::string error;
    if (!ElegirDestinos(especificaciones, lista, origen ? origen : lista[1].get(), *tabla,
                        &destinos, &error)) {
      return "error: " + error;
    }
    std::string letras;
    for (const auto& hilo : destinos) letras += platform::ToUtf8(hilo->GetAppRec().Letra);
    return letras;
  }

  testing_support::TempFolder carpeta;
  std::shared_ptr<platform::FakeDrives> tabla = platform::MakeFakeDrives();
  std::shared_ptr<TEntorno> entorno = std::make_shared<TEntorno>();
  std::vector<std::shared_ptr<TDHilo>> lista;
};

TEST_F(DestinosTest, ALabelASerialAMountPointOrEveryRemovableVolume) {
  EXPECT_EQ(Elegir({"PALO"}), "EF");  // every volume of that label
  EXPECT_EQ(Elegir({"000000F0"}), "F");
  EXPECT_EQ(Elegir({"abcd-1234"}), "G");
  EXPECT_EQ(Elegir({"ABCD1234"}), "G");
  EXPECT_EQ(Elegir({carpeta.path() + "/uno/"}), "E");
  EXPECT_EQ(Elegir({carpeta.path() + "/dos/../uno"}), "E");
  // Neither the source nor the system volume.
  EXPECT_EQ(Elegir({"removable"}), "EF");
  EXPECT_EQ(Elegir({"removable"}, lista[2].get()), "DF");
  // Each once, in the order of the list.
  EXPECT_EQ(Elegir({"FIJO", "000000E0", "PALO", "removable"}), "EFG");
  // A serial before a label; the label when no serial matches.
  EXPECT_EQ(Elegir({"00000042"}), "H");
  EXPECT_EQ(Elegir({"000000e0"}), "E");
  EXPECT_EQ(Elegir({"\xFFx"}), "I");
}

TEST_F(DestinosTest, WhatNamesNoVolumeOrTheSourceIsRefused) {
  EXPECT_EQ(Elegir({"PALO", "NADA"}).rfind("error: NADA", 0), 0u);
  EXPECT_EQ(Elegir({"palo"}).rfind("error:", 0), 0u);  // labels keep their case
  EXPECT_EQ(Elegir({"000000AA"}).rfind("error:", 0), 0u);
  EXPECT_EQ(Elegir({carpeta.path() + "/otra"}).rfind("error:", 0), 0u);
  EXPECT_NE(Elegir({"FUENTE"}).find("origen"), std::string::npos);
  EXPECT_NE(Elegir({"000000D0"}).find("origen"), std::string::npos);
  EXPECT_NE(Elegir({carpeta.path() + "/fuente"}).find("origen"), std::string::npos);
}

TEST_F(DestinosTest, ThePathsOfACopyLieOnOneListedVolume) {
  const std::string fuente = carpeta.path() + "/fuente";
  fs::create_directories(fuente + "/Fotos/sub");
  std::ofstream(fuente + "/Fotos/a.bin") << "a";
  std::ofstream(carpeta.path() + "/uno/b.bin") << "b";
  TEntradas entradas;
  std::string error;
  ASSERT_TRUE(LeerEntradas({fuente + "/Fotos/", fuente + "/Fotos/sub/../a.bin", fuente},
                           lista, &entradas, &error))
      << error;
  EXPECT_EQ(entradas.Rutas,
            (std::vector<std::string>{fuente + "/Fotos", fuente + "/Fotos/a.bin", fuente}));
  EXPECT_EQ(entradas.Origen, lista[1]);

  EXPECT_FALSE(LeerEntradas({fuente + "/Fotos/nada.bin"}, lista, &entradas, &error));
  EXPECT_NE(error.find("nada.bin"), std::string::npos);
  EXPECT_FALSE(LeerEntradas({fuente + "/Fotos", carpeta.path() + "/uno/b.bin"}, lista,
                            &entradas, &error));
  EXPECT_NE(error.find("mismo volumen"), std::string::npos);
  // A volume of the table that no worker stands for.
  const std::string suelta = Carpeta("suelta");
  tabla->Put({u"J", suelta, u"SUELTA", 0x99, platform::DRIVE_REMOVABLE, 512, true});
  EXPECT_FALSE(LeerEntradas({suelta}, lista, &entradas, &error));
  EXPECT_NE(error.find("no lista"), std::string::npos);
  // A backslash is a name's own character, as any other.
  std::ofstream(fuente + "/a\\b") << "x";
  EXPECT_TRUE(LeerEntradas({fuente + "/a\\b"}, lista, &entradas, &error)) << error;
  // A path on no volume of the table.
  EXPECT_FALSE(LeerEntradas({"/proc/self"}, lista, &entradas, &error));
}

}  // namespace

// The whole record of a copy list: its bytes, and the reading that gives a record the present
// drives that still need its entry.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/BuscarPorID.h"
#include "engine/RegistroCopia.h"
#include "engine/TDHilo.h"
#include "records/TFRec.h"
#include "tests/support/esperar.h"
#include "tests/support/scoped_drives.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::Esperar;

constexpr std::int64_t kMomento = 1625480130;  // 2021-07-05 10:15:30 UTC
constexpr platform::FileTime kEpocaUnix = 116444736000000000ULL;

// Workers known by the identity a refresh gives them; ended when the test ends.
class Trabajadores {
 public:
  ~Trabajadores() {
    for (auto& hilo : hilos_) hilo->Terminate();
    for (auto& hilo : hilos_) EXPECT_TRUE(Esperar([&] { return hilo->Finished(); }));
  }
  TDHilo* Nuevo(char16_t letra, std::uint32_t serie, const std::string& montaje = "") {
    hilos_.push_back(TDHilo::Create(entorno_));
    hilos_.back()->SetAppRec({u"", std::u16string(1, letra), serie, 512, 4096, montaje});
    return hilos_.back().get();
  }
  // A destination of the first worker made, in that worker's table.
  std::shared_ptr<TDHilo> Destino(char16_t letra, std::uint32_t serie) {
    Nuevo(letra, serie);
    hilos_.back()->SetOD(hilos_.front());
    return hilos_.back();
  }

 private:
  std::shared_ptr<TEntorno> entorno_ = std::make_shared<TEntorno>();
  std::vector<std::shared_ptr<TDHilo>> hilos_;
};

TEST(TFRecTodo, BytesOfARecordWithOneDestination) {
  Trabajadores trabajadores;
  TDHilo* fuente = trabajadores.Nuevo(u'D', 1);
  const auto destino = trabajadores.Destino(u'E', 0x11223344);
  TFRec rec;
  rec.ONombre = u"ab";
  rec.DNombre = u"cd";
  rec.DList = {destino->GetId()};
  std::string bytes;
  EscribirTodo(rec, *fuente, bytes);
  ASSERT_EQ(bytes.size(), 60u);
  std::string origen;
  rec.EscribirOrigen(origen);
  EXPECT_EQ(bytes.substr(0, 44), origen);
  EXPECT_EQ(bytes.substr(44), std::string("\x02\0\0\0c\0d\0\x01\0\0\0\x44\x33\x22\x11", 16));

  // A destination withdrawn from the source is not written, and the count says so.
  fuente->AgregarEliminarDestino(destino);
  std::string sin_destino;
  EscribirTodo(rec, *fuente, sin_destino);
  EXPECT_EQ(sin_destino.substr(44), std::string("\x02\0\0\0c\0d\0\0\0\0\0", 12));
}

TEST(BuscarPorID, LeftmostMatchInASortedList) {
  Trabajadores trabajadores;
  EXPECT_EQ(BuscarPorID({}, 5), nullptr);
  const std::vector<TDHilo*> lista = {
      trabajadores.Nuevo(u'C', 3), trabajadores.Nuevo(u'D', 7), trabajadores.Nuevo(u'E', 7),
      trabajadores.Nuevo(u'F', 7), trabajadores.Nuevo(u'G', 0x80000000u)};
  const struct {
    std::uint32_t serie;
    TDHilo* esperado;
  } casos[] = {{3, lista[0]}, {7, lista[1]}, {0x80000000u, lista[4]},
               {0, nullptr},  {5, nullptr},  {0xFFFFFFFFu, nullptr}};
  for (const auto& c : casos) EXPECT_EQ(BuscarPorID(lista, c.serie), c.esperado) << c.serie;
}

}  // namespace

// orsanta-cli run as a user runs it, as a child process, on loop-mounted volumes that it finds
// in the machine's own drive table: copies to sticks named by label, serial and mount point,
// refusals before anything is written, a stick that fills up, SIGTERM in the middle of a file,
// eject, the listing rules, a saved copy list, and --json read line by line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <fstream>
#include <iterator>
#include <random>

#include "app/TPrograma.h"
#include "tests/support/archivos_prueba.h"
#include "tests/support/esperar.h"
#include "tests/support/granja.h"
#include "tests/support/json_prueba.h"
#include "tests/support/limite_escritura.h"
#include "tests/support/loop_volume.h"
#include "tests/support/proceso.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unidades_volumenes.h"
#include "tests/support/vista_simple.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CompararArboles;
using testing_support::EscribirAzar;
using testing_support::LeerJson;
using testing_support::Lineas;
using testing_support::LoopVolume;
using testing_support::Proceso;
using testing_support::ValorJson;

// A volume the program finds by itself: a label and a serial (the first eight hexadecimal digits
// of its UUID) of its own.
struct Volumen {
  std::unique_ptr<LoopVolume> volumen;
  std::string etiqueta;
  std::string serie;
  fs::path Raiz() const { return volumen->mount_point(); }
};

// Every entry of the job below a root, relative to it.
std::vector<fs::path> Entradas(const fs::path& raiz) {
  std::vector<fs::path> entradas;
  for (auto it = fs::recursive_directory_iterator(raiz); it != fs::recursive_directory_iterator();
       ++it) {
    if (it.depth() == 0 && testing_support::NoEsDelTrabajo(it->path().filename().string())) {
      it.disable_recursion_pending();
      continue;
    }
    entradas.push_back(fs::relative(it->path(), raiz));
  }
  std::sort(entradas.begin(), entradas.end());
  return entradas;
}

bool MismoContenido(const fs::path& a, const fs::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

// A big file of contents no two blocks share, written fast also under the sanitizers.
void EscribirGrande(const fs::path& ruta, std::int64_t talla) {
  fs::create_directories(ruta.parent_path());
  std::ofstream salida(ruta, std::ios::binary);
  std::vector<std::uint64_t> bloque(1 << 16);
  std::uint64_t x = 0x9E3779B97F4A7C15u;
  for (std::int64_t escrito = 0; escrito < talla;) {
    for (auto& v : bloque) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = x;
    }
    const auto n = static_cast<std::streamsize>(std::min<std::int64_t>(
        talla - escrito, static_cast<std::int64_t>(bloque.size() * sizeof bloque[0])));
    salida.write(reinterpret_cast<const char*>(bloque.data()), n);
    escrito += n;
  }
}

bool Montado(const fs::path& punto) {
  std::ifstream tabla("/proc/self/mountinfo");
  const std::string texto((std::istreambuf_iterator<char>(tabla)),
                          std::istreambuf_iterator<char>());
  return texto.find(" " + punto.string() + " ") != std::string::npos;
}

// Every line of --json output, each one object with an event and a time.
std::vector<ValorJson> Sucesos(const std::string& salida) {
  std::vector<ValorJson> sucesos;
  for (const std::string& linea : Lineas(salida)) {
    auto valor = LeerJson(linea);
    EXPECT_TRUE(valor && valor->tipo == ValorJson::Tipo::Objeto) << linea;
    if (!valor) continue;
    EXPECT_FALSE(valor->Texto("event").empty()) << linea;
    EXPECT_FALSE(valor->Texto("time").empty()) << linea;
    sucesos.push_back(std::move(*valor));
  }
  return sucesos;
}

// Another reader agrees that every line is JSON: Python's, where the machine has it.
void PythonLeeCadaLinea(const std::string& archivo) {
  if (!testing_support::RunCommand("command -v python3")) return;
  std::string salida;
  EXPECT_TRUE(testing_support::RunCommand(
      "python3 -c 'import json,sys\nfor l in open(sys.argv[1], encoding=\"utf-8\"): "
      "assert isinstance(json.loads(l), dict)' " + archivo, &salida))
      << salida;
}

// Waits until the --json progress of a run shows its destination with some of `archivo` down,
// or the run has ended (false after a minute of neither).
bool EnMedio(Proceso& proceso, const std::string& archivo) {
  return testing_support::Esperar(
      [&] {
        for (const std::string& linea : Lineas(proceso.Salida())) {
          const auto s = LeerJson(linea);
          if (s && s->Texto("event") == "progress" && s->Texto("role") == "destination" &&
              s->Texto("file") == archivo && s->Entero("bytes_done").value_or(0) > 0) {
            return true;
          }
        }
        return proceso.Esperar(std::chrono::milliseconds(0)).has_value();
      },
      std::chrono::seconds(60));
}

class OrsantaCliTest : public ::testing::Test {
 protected:
  // The program in a folder of its own: beside it no settings file, so that it runs on the
  // defaults whatever the build folder holds.
  static void SetUpTestSuite() {
    carpeta_programa_ = new testing_support::TempFolder;
    programa_ = carpeta_programa_->path() + "/orsanta-cli";
    std::error_code error;
    fs::create_hard_link(ORSANTA_CLI, programa_, error);
    if (error) fs::copy_file(ORSANTA_CLI, programa_, error);
  }
  static void TearDownTestSuite() {
    delete carpeta_programa_;
    carpeta_programa_ = nullptr;
  }

  void SetUp() override {
    if (!LoopVolume::Available()) GTEST_SKIP() << "needs root and loop devices";
    ASSERT_TRUE(trabajo.ok());
    std::random_device azar;
    semilla_ = azar();
  }

  Volumen Nuevo(const std::string& nombre, std::int64_t talla = 64 << 20) {
    std::mt19937 azar(semilla_ + static_cast<unsigned>(volumenes_++));
    auto hex = [&](int digitos) {
      std::string texto;
      for (int i = 0; i < digitos; ++i) texto.push_back("0123456789abcdef"[azar() % 16]);
      return texto;
    };
    Volumen v;
    // Unique on this machine, as tests may run side by side; at most 16 bytes for ext4.
    v.etiqueta = "oc" + hex(5) + nombre;
    const std::string uuid =
        hex(8) + "-" + hex(4) + "-4" + hex(3) + "-a" + hex(3) + "-" + hex(12);
    v.serie = uuid.substr(0, 8);
    for (char& c : v.serie) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    LoopVolume::Options opciones;
    opciones.size_bytes = talla;
    opciones.label = v.etiqueta;
    opciones.uuid = uuid;
    v.volumen = std::make_unique<LoopVolume>(opciones);
    EXPECT_TRUE(v.volumen->ok()) << v.volumen->error();
    return v;
  }

  std::unique_ptr<Proceso> Ejecutar(const std::vector<std::string>& argumentos) {
    const std::string carpeta = trabajo.path() + "/" + std::to_string(ejecuciones_++);
    fs::create_directories(carpeta);
    auto proceso = std::make_unique<Proceso>(programa_, argumentos, carpeta);
    EXPECT_TRUE(proceso->Empezado());
    return proceso;
  }
  // Runs it to its end; the exit status, -1 when it did not end in time.
  int Correr(const std::vector<std::string>& argumentos, std::string* salida = nullptr,
             std::string* errores = nullptr) {
    auto proceso = Ejecutar(argumentos);
    const int estado = proceso->Esperar().value_or(-1);
    if (salida) *salida = proceso->Salida();
    if (errores) *errores = proceso->Errores();
    return estado;
  }
  std::string ArchivoSalida() const {
    return trabajo.path() + "/" + std::to_string(ejecuciones_ - 1) + "/stdout";
  }

  // A tree of a folder, nested folders, an empty file and folder, a file of several blocks and a
  // name that is no UTF-8.
  static void Arbol(const fs::path& carpeta) {
    EscribirAzar(carpeta / "a.bin", (5 << 20) + 17, 1);
    EscribirAzar(carpeta / "sub/b.txt", 1000, 2);
    EscribirAzar(carpeta / "sub/más/c.bin", 4097, 3);
    EscribirAzar(carpeta / "vacio.txt", 0, 4);
    EscribirAzar(carpeta / "nombre\xFF.bin", 5000, 5);
    fs::create_directories(carpeta / "carpeta vacía");
  }

  testing_support::TempFolder trabajo;
  static testing_support::TempFolder* carpeta_programa_;
  static std::string programa_;

 private:
  unsigned semilla_ = 0;
  int volumenes_ = 0;
  int ejecuciones_ = 0;
};

testing_support::TempFolder* OrsantaCliTest::carpeta_programa_ = nullptr;
std::string OrsantaCliTest::programa_;

TEST_F(OrsantaCliTest, CopiesToThreeSticksNamedByLabelSerialAndMountPoint) {
  const Volumen fuente = Nuevo("src", 128 << 20);
  const Volumen uno = Nuevo("uno"), dos = Nuevo("dos"), tres = Nuevo("tres");
  Arbol(fuente.Raiz() / "Carpeta");
  std::string salida, errores;
  ASSERT_EQ(Correr({"copy", "--json", "--to", uno.etiqueta, "--to", dos.serie, "--to",
                    tres.Raiz().string() + "/", (fuente.Raiz() / "Carpeta").string()},
                   &salida, &errores),
            0)
      << errores << salida;
  EXPECT_EQ(errores, "");
  for (const Volumen* palo : {&uno, &dos, &tres}) {
    SCOPED_TRACE(palo->etiqueta);
    // The source's path below its root is kept (the default setting).
    EXPECT_EQ(CompararArboles((fuente.Raiz() / "Carpeta").string(),
                              (palo->Raiz() / "Carpeta").string()),
              "");
    EXPECT_EQ(Entradas(palo->Raiz()).front(), "Carpeta");
  }

  PythonLeeCadaLinea(ArchivoSalida());
  const std::vector<ValorJson> sucesos = Sucesos(salida);
  ASSERT_GE(sucesos.size(), 2u);
  const ValorJson& inicio = sucesos.front();
  EXPECT_EQ(inicio.Texto("event"), "start");
  EXPECT_EQ(inicio.Miembro("source")->Texto("label"), fuente.etiqueta);
  const auto& destinos = inicio.Miembro("destinations")->lista;
  ASSERT_EQ(destinos.size(), 3u);
  std::set<std::string> etiquetas, series;
  for (const ValorJson& d : destinos) {
    etiquetas.insert(d.Texto("label"));
    series.insert(d.Texto("serial"));
  }
  EXPECT_EQ(etiquetas, (std::set<std::string>{uno.etiqueta, dos.etiqueta, tres.etiqueta}));
  EXPECT_EQ(series, (std::set<std::string>{uno.serie, dos.serie, tres.serie}));

  const std::set<std::string> estados = {"idle",    "queued", "writing", "syncing", "verifying",
                                         "done",    "failed", "removed"};
  std::map<std::string, std::string> ultimo_estado;
  for (const ValorJson& s : sucesos) {
    const std::string evento = s.Texto("event");
    EXPECT_TRUE(evento == "start" || evento == "state" || evento == "progress" ||
                evento == "summary")
        << evento;
    if (evento == "state") {
      EXPECT_EQ(estados.count(s.Texto("from")), 1u);
      EXPECT_EQ(estados.count(s.Texto("to")), 1u);
      EXPECT_NE(s.Texto("from"), s.Texto("to"));
      if (s.Texto("role") == "destination") ultimo_estado[s.Texto("label")] = s.Texto("to");
    }
    if (evento == "progress") {
      EXPECT_EQ(estados.count(s.Texto("state")), 1u);
      EXPECT_LE(s.Entero("bytes_done").value_or(-1), s.Entero("bytes_total").value_or(-2));
    }
  }
  for (const auto& etiqueta : etiquetas) EXPECT_EQ(ultimo_estado[etiqueta], "done") << etiqueta;
  const ValorJson& resumen = sucesos.back();
  EXPECT_EQ(resumen.Texto("event"), "summary");
  EXPECT_EQ(resumen.Entero("status"), 0);
  for (const ValorJson& d : resumen.Miembro("destinations")->lista) {
    EXPECT_EQ(d.Texto("result"), "done");
    EXPECT_EQ(d.Entero("bytes_done"), d.Entero("bytes_total"));
    EXPECT_GT(d.Entero("bytes_total").value_or(0), 5 << 20);
    EXPECT_TRUE(d.Miembro("error")->EsNulo());
  }

  // Copied again, nothing is missing: done at once, and the plain lines say so.
  ASSERT_EQ(Correr({"copy", "--to", uno.etiqueta, (fuente.Raiz() / "Carpeta").string()},
                   &salida, &errores),
            0)
      << errores;
  EXPECT_NE(salida.find("terminados 1 de 1 destinos; estado de salida 0"), std::string::npos)
      << salida;
}

TEST_F(OrsantaCliTest, BadInputIsRefusedWithStatus2AndNothingIsWritten) {
  const Volumen fuente = Nuevo("src"), uno = Nuevo("uno"), otra = Nuevo("otra");
  Arbol(fuente.Raiz() / "Carpeta");
  EscribirAzar(otra.Raiz() / "ajeno.bin", 10, 6);
  const std::string carpeta = (fuente.Raiz() / "Carpeta").string();
  const std::vector<fs::path> antes = Entradas(uno.Raiz());
  const struct {
    const char* caso;
    std::vector<std::string> argumentos;
    std::string dice;  // what the message must name
  } casos[] = {
      {"unknown label", {"copy", "--to", uno.etiqueta, "--to", "NOEXISTE", carpeta}, "NOEXISTE"},
      {"unknown serial", {"copy", "--to", "0BADF00D", "--to", uno.etiqueta, carpeta}, "0BADF00D"},
      {"no such mount point", {"copy", "--to", trabajo.path(), carpeta}, trabajo.path()},
      {"the source as destination", {"copy", "--to", fuente.etiqueta, "--to", uno.etiqueta,
                                     carpeta}, fuente.etiqueta},
      {"a missing path", {"copy", "--to", uno.etiqueta, carpeta, carpeta + "/no.bin"}, "no.bin"},
      {"two source volumes",
       {"copy", "--to", uno.etiqueta, carpeta, (otra.Raiz() / "ajeno.bin").string()},
       "ajeno.bin"},
      {"a path on no volume the program lists", {"copy", "--to", uno.etiqueta, "/proc/self"},
       "/proc/self"},
      {"no removable volume (loop volumes are fixed)", {"copy", carpeta}, "removable"},
      {"a path to verify", {"verify", "--to", uno.etiqueta, carpeta}, "verify"},
      {"an unknown stick to verify", {"verify", "--to", "NOEXISTE"}, "NOEXISTE"},
      {"an unknown option", {"copy", "--rapido", "--to", uno.etiqueta, carpeta}, "--rapido"},
      {"no path", {"copy", "--to", uno.etiqueta}, "RUTA"},
      {"an unknown command", {"copiar", carpeta}, "copiar"},
      {"a copy list that is none", {"open", carpeta}, "Carpeta"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.caso);
    std::string salida, errores;
    EXPECT_EQ(Correr(c.argumentos, &salida, &errores), 2) << errores;
    EXPECT_NE(errores.find(c.dice), std::string::npos) << errores;
    EXPECT_EQ(errores.rfind("orsanta-cli: ", 0), 0u) << errores;
    EXPECT_EQ(Entradas(uno.Raiz()), antes);
  }
  // --no-verify: the copy is done and never read back.
  std::string salida;
  EXPECT_EQ(Correr({"copy", "--no-verify", "--json", "--to", uno.etiqueta, carpeta}, &salida), 0);
  EXPECT_EQ(CompararArboles(carpeta, (uno.Raiz() / "Carpeta").string()), "");
  EXPECT_EQ(salida.find("\"verifying\""), std::string::npos) << salida;
}

TEST_F(OrsantaCliTest, AStickThatFillsUpFailsAloneAndIsNamed) {
  const Volumen fuente = Nuevo("src", 128 << 20);
  const Volumen uno = Nuevo("uno"), chico = Nuevo("chico", 16 << 20), dos = Nuevo("dos");
  EscribirGrande(fuente.Raiz() / "Datos/grande.bin", 24 << 20);
  EscribirAzar(fuente.Raiz() / "Datos/chico.txt", 100, 8);
  std::string salida, errores;
  ASSERT_EQ(Correr({"copy", "--json", "--to", uno.etiqueta, "--to", chico.etiqueta, "--to",
                    dos.etiqueta, (fuente.Raiz() / "Datos").string()},
                   &salida, &errores),
            1)
      << errores;
  // Standard error names the stick that failed, and only that one, with its error.
  EXPECT_NE(errores.find(chico.etiqueta), std::string::npos) << errores;
  EXPECT_NE(errores.find("fallido"), std::string::npos) << errores;
  EXPECT_EQ(errores.find(uno.etiqueta), std::string::npos) << errores;
  EXPECT_EQ(errores.find(dos.etiqueta), std::string::npos) << errores;
  for (const Volumen* palo : {&uno, &dos}) {
    EXPECT_EQ(CompararArboles((fuente.Raiz() / "Datos").string(),
                              (palo->Raiz() / "Datos").string()),
              "")
        << palo->etiqueta;
  }
  // What the full stick holds is never a file that differs from the source under its name.
  for (const fs::path& relativo : Entradas(chico.Raiz())) {
    const fs::path copia = chico.Raiz() / relativo;
    if (fs::is_regular_file(copia)) {
      EXPECT_TRUE(MismoContenido(copia, fuente.Raiz() / relativo)) << relativo;
    }
  }

  const std::vector<ValorJson> sucesos = Sucesos(salida);
  ASSERT_FALSE(sucesos.empty());
  const ValorJson& resumen = sucesos.back();
  EXPECT_EQ(resumen.Entero("status"), 1);
  bool visto_error = false;
  for (const ValorJson& s : sucesos) {
    if (s.Texto("event") == "error" && s.Texto("label") == chico.etiqueta) {
      visto_error = true;
      EXPECT_EQ(s.Miembro("error")->Entero("code"), 112) << "ERROR_DISK_FULL";
    }
  }
  EXPECT_TRUE(visto_error);
  for (const ValorJson& d : resumen.Miembro("destinations")->lista) {
    if (d.Texto("label") == chico.etiqueta) {
      EXPECT_EQ(d.Texto("result"), "failed");
      EXPECT_EQ(d.Miembro("error")->Entero("code"), 112);
      EXPECT_FALSE(d.Miembro("error")->Texto("message").empty());
    } else {
      EXPECT_EQ(d.Texto("result"), "done");
    }
  }
}

TEST_F(OrsantaCliTest, SigtermInTheMiddleCancelsCleanly) {
  const Volumen fuente = Nuevo("src", 256 << 20), uno = Nuevo("uno", 256 << 20);
  EscribirAzar(fuente.Raiz() / "Grande/antes.txt", 3000, 9);
  EscribirGrande(fuente.Raiz() / "Grande/grande.bin", 128 << 20);
  // A stick of 20 MB/s, where the machine can slow one: the signal comes well inside the file.
  testing_support::LimiteEscritura lento(uno.volumen->device(), 20'000'000);
  auto proceso = Ejecutar({"copy", "--json", "--to", uno.etiqueta,
                           (fuente.Raiz() / "Grande").string()});
  // Sent once the stick is writing the big file and has some of it down.
  ASSERT_TRUE(EnMedio(*proceso, "Grande/grande.bin"));
  if (proceso->Esperar(std::chrono::milliseconds(0)).has_value()) {
    GTEST_SKIP() << "the copy ended before the signal (no write throttling on this machine: "
                 << lento.Activo() << ")";
  }
  proceso->Senal(SIGTERM);
  const auto estado = proceso->Esperar(std::chrono::seconds(60));
  ASSERT_TRUE(estado) << "still running a minute after SIGTERM";
  EXPECT_EQ(*estado, 143) << proceso->Errores();

  const std::vector<ValorJson> sucesos = Sucesos(proceso->Salida());
  ASSERT_GE(sucesos.size(), 2u);
  EXPECT_EQ(sucesos[sucesos.size() - 2].Texto("event"), "cancel");
  EXPECT_EQ(sucesos[sucesos.size() - 2].Texto("signal"), "SIGTERM");
  EXPECT_EQ(sucesos.back().Entero("status"), 143);
  EXPECT_EQ(sucesos.back().Miembro("destinations")->lista.at(0).Texto("result"), "cancelled");
  // The file cut short is named as left undone.
  EXPECT_NE(proceso->Errores().find("sin copiar: Grande"), std::string::npos) << proceso->Errores();
  EXPECT_NE(proceso->Errores().find("grande.bin"), std::string::npos) << proceso->Errores();

  // Nothing under a file's own name differs from the source: an unfinished file must not look
  // complete.
  for (const fs::path& relativo : Entradas(uno.Raiz())) {
    const fs::path copia = uno.Raiz() / relativo, original = fuente.Raiz() / relativo;
    if (!fs::is_regular_file(copia) || !fs::exists(original)) continue;
    EXPECT_TRUE(MismoContenido(copia, original))
        << relativo << " is left with " << fs::file_size(copia) << " bytes under its name";
  }
}

// Killed outright in the middle of a file, then run again with the same job: the stick ends
// byte-identical and nothing of the killed run is left on it.
TEST_F(OrsantaCliTest, AKillInTheMiddleAndTheSameJobAgainLeaveTheStickWhole) {
  const Volumen fuente = Nuevo("src", 256 << 20), uno = Nuevo("uno", 256 << 20);
  EscribirAzar(fuente.Raiz() / "Grande/antes.txt", 3000, 9);
  EscribirGrande(fuente.Raiz() / "Grande/grande.bin", 128 << 20);
  std::optional<testing_support::LimiteEscritura> lento;
  lento.emplace(uno.volumen->device(), 20'000'000);
  const std::vector<std::string> trabajo = {"copy", "--json", "--to", uno.etiqueta,
                                            (fuente.Raiz() / "Grande").string()};
  auto proceso = Ejecutar(trabajo);
  ASSERT_TRUE(EnMedio(*proceso, "Grande/grande.bin"));
  if (proceso->Esperar(std::chrono::milliseconds(0)).has_value()) {
    GTEST_SKIP() << "the copy ended before the kill (no write throttling on this machine)";
  }
  proceso->Senal(SIGKILL);
  ASSERT_TRUE(proceso->Esperar(std::chrono::seconds(60)));
  lento.reset();

  std::string salida, errores;
  ASSERT_EQ(Correr(trabajo, &salida, &errores), 0) << errores;
  EXPECT_EQ(testing_support::CompararArboles((fuente.Raiz() / "Grande").string(),
                                             (uno.Raiz() / "Grande").string()),
            "");
}

TEST_F(OrsantaCliTest, EjectFlushesAndUnmountsEachStickOnceDone) {
  const Volumen fuente = Nuevo("src"), uno = Nuevo("uno");
  Arbol(fuente.Raiz() / "Carpeta");
  std::string salida, errores;
  ASSERT_EQ(Correr({"copy", "--eject", "--json", "--to", uno.etiqueta,
                    (fuente.Raiz() / "Carpeta").string()},
                   &salida, &errores),
            0)
      << errores;
  EXPECT_FALSE(Montado(uno.Raiz()));
  bool expulsado = false;
  for (const ValorJson& s : Sucesos(salida)) {
    if (s.Texto("event") == "eject") {
      expulsado = true;
      EXPECT_EQ(s.Texto("label"), uno.etiqueta);
      EXPECT_TRUE(s.Miembro("ok")->logico);
    }
    if (s.Texto("event") == "summary") {
      EXPECT_TRUE(s.Miembro("destinations")->lista.at(0).Miembro("ejected")->logico);
    }
  }
  EXPECT_TRUE(expulsado);
  // Plugged in again, it holds the copy.
  testing_support::TempFolder otra_vez;
  std::string error;
  ASSERT_TRUE(testing_support::RunCommand("mount " + uno.volumen->device() + " " + otra_vez.path(),
                                          &error))
      << error;
  EXPECT_EQ(CompararArboles((fuente.Raiz() / "Carpeta").string(), otra_vez.path() + "/Carpeta"),
            "");
  EXPECT_TRUE(testing_support::RunCommand("umount " + otra_vez.path()));
}

TEST_F(OrsantaCliTest, TheRulesOfADropHoldListingsAndTheSameSizeAndMinute) {
  const Volumen fuente = Nuevo("src"), uno = Nuevo("uno");
  const fs::path carpeta = fuente.Raiz() / "Carpeta";
  Arbol(carpeta);
  ASSERT_EQ(Correr({"copy", "--to", uno.etiqueta, carpeta.string()}), 0);
  // The listing remembers what the stick holds; the user then deletes a file from it.
  std::string salida, errores;
  ASSERT_EQ(Correr({"list", "--to", uno.Raiz().string()}, &salida, &errores), 0) << errores;
  EXPECT_TRUE(fs::exists(uno.Raiz() / "Orsanta.lst"));
  EXPECT_NE(salida.find("Orsanta.lst"), std::string::npos);
  fs::remove(uno.Raiz() / "Carpeta/sub/b.txt");
  // A file of the same size and minute is taken for the same file.
  const fs::path igual = uno.Raiz() / "Carpeta/vacio.txt";
  std::ofstream(uno.Raiz() / "Carpeta/a.bin", std::ios::binary | std::ios::in | std::ios::out)
      .write("XYZ", 3);
  fs::last_write_time(uno.Raiz() / "Carpeta/a.bin", fs::last_write_time(carpeta / "a.bin"));
  // And one that is new on the source is copied.
  EscribirAzar(carpeta / "nuevo.bin", 777, 11);

  ASSERT_EQ(Correr({"copy", "--to", uno.serie, carpeta.string()}, &salida, &errores), 0)
      << errores;
  EXPECT_FALSE(fs::exists(uno.Raiz() / "Carpeta/sub/b.txt"));
  EXPECT_FALSE(MismoContenido(uno.Raiz() / "Carpeta/a.bin", carpeta / "a.bin"));
  EXPECT_TRUE(MismoContenido(uno.Raiz() / "Carpeta/nuevo.bin", carpeta / "nuevo.bin"));
  EXPECT_TRUE(fs::exists(igual));
}

// The verify command reads back what each stick's manifest lists: a file changed after the copy
// (same size, same time) and a file gone are named on their stick, the intact stick is verified,
// a stick without a manifest is named on standard error, and nothing is copied.
TEST_F(OrsantaCliTest, VerifyNamesWhatChangedOnEachStickAfterItsCopy) {
  const Volumen fuente = Nuevo("src"), uno = Nuevo("uno"), dos = Nuevo("dos"), tres = Nuevo("tres");
  const fs::path carpeta = fuente.Raiz() / "Carpeta";
  Arbol(carpeta);
  ASSERT_EQ(Correr({"copy", "--to", uno.etiqueta, "--to", dos.etiqueta, carpeta.string()}), 0);
  const fs::path cambiado = uno.Raiz() / "Carpeta" / "sub" / "b.txt";
  const auto hora = fs::last_write_time(cambiado);
  EscribirAzar(cambiado, 1000, 9);
  fs::last_write_time(cambiado, hora);
  fs::remove(uno.Raiz() / "Carpeta" / "a.bin");
  const std::vector<fs::path> antes = Entradas(uno.Raiz());

  std::string salida, errores;
  EXPECT_EQ(Correr({"verify", "--json", "--to", uno.etiqueta, "--to", dos.etiqueta}, &salida,
                   &errores),
            1)
      << errores;
  EXPECT_EQ(errores, "");
  const std::vector<ValorJson> sucesos = Sucesos(salida);
  ASSERT_EQ(sucesos.size(), 2u) << salida;
  for (const ValorJson& s : sucesos) {
    const ValorJson* faltan = s.Miembro("missing");
    const ValorJson* diferentes = s.Miembro("differing");
    ASSERT_TRUE(faltan && diferentes) << salida;
    if (s.Texto("label") == uno.etiqueta) {
      EXPECT_EQ(s.Texto("result"), "failed");
      ASSERT_EQ(faltan->lista.size(), 1u);
      EXPECT_EQ(faltan->lista[0].texto, u"Carpeta/a.bin");
      ASSERT_EQ(diferentes->lista.size(), 1u);
      EXPECT_EQ(diferentes->lista[0].texto, u"Carpeta/sub/b.txt");
    } else {
      EXPECT_EQ(s.Texto("label"), dos.etiqueta);
      EXPECT_EQ(s.Texto("result"), "verified");
      EXPECT_TRUE(faltan->lista.empty() && diferentes->lista.empty());
      EXPECT_EQ(*s.Miembro("bytes_verified")->entero, (5 << 20) + 17 + 1000 + 4097 + 5000);
    }
  }
  EXPECT_EQ(Entradas(uno.Raiz()), antes);  // nothing copied again

  // The intact stick alone, in words; a stick without a manifest is named and fails the command.
  EXPECT_EQ(Correr({"verify", "--to", dos.etiqueta}, &salida, &errores), 0) << errores;
  EXPECT_NE(salida.find("verificado, 5 archivos"), std::string::npos) << salida;
  EXPECT_EQ(Correr({"verify", "--to", tres.etiqueta, "--to", dos.etiqueta}, &salida, &errores), 1);
  EXPECT_NE(errores.find("no tiene manifiesto (orsanta.xxh128)"), std::string::npos) << errores;
  EXPECT_NE(salida.find("verificado"), std::string::npos) << salida;
}

TEST_F(OrsantaCliTest, ASavedCopyListRunsAgain) {
  const Volumen fuente = Nuevo("src"), uno = Nuevo("uno"), dos = Nuevo("dos");
  const fs::path carpeta = fuente.Raiz() / "Carpeta";
  Arbol(carpeta);
  const std::string lista = trabajo.path() + "/copia.orsc";
  {
    // The window's program saves the list: the drop queued with the source held still.
    testing_support::VistaSimple vista;
    TPrograma programa(vista);
    programa.RutaConfiguracion = trabajo.path() + "/Orsanta.cfg";
    // The list names the source by its serial: the probe must answer however busy the machine.
    programa.PlazoSondeo = std::chrono::seconds(60);
    programa.FormCreate();
    ASSERT_TRUE(testing_support::EsperarIdentidades(programa.DList));
    std::shared_ptr<TDHilo> origen;
    for (int i = 0; i < vista.Count(); ++i) {
      const std::string montaje = programa.DList[i]->GetAppRec().Montaje;
      vista.SetSelected(i, montaje == uno.Raiz().string() || montaje == dos.Raiz().string());
      if (montaje == fuente.Raiz().string()) origen = programa.DList[i];
    }
    ASSERT_TRUE(origen);
    vista.SetItemIndex(-1);
    programa.AsignarOrigen(origen);
    ASSERT_TRUE(testing_support::Detener(*origen));
    programa.WMDropFiles({carpeta.string()});
    programa.GuardarLista(lista);
    std::vector<std::shared_ptr<TDHilo>> hilos = programa.DList;
    programa.FormDestroy();
    for (const auto& hilo : hilos) {
      EXPECT_TRUE(testing_support::Esperar([&] { return hilo->Finished(); }));
    }
  }
  ASSERT_TRUE(fs::exists(lista));
  EXPECT_TRUE(Entradas(uno.Raiz()).empty());

  std::string salida, errores;
  ASSERT_EQ(Correr({"open", "--json", lista}, &salida, &errores), 0) << errores;
  for (const Volumen* palo : {&uno, &dos}) {
    EXPECT_EQ(CompararArboles(carpeta.string(), (palo->Raiz() / "Carpeta").string()), "")
        << palo->etiqueta;
  }
  EXPECT_EQ(Sucesos(salida).back().Miembro("destinations")->lista.size(), 2u);
}

TEST_F(OrsantaCliTest, DrivesListsEveryVolumeWithItsFigures) {
  const Volumen uno = Nuevo("uno");
  std::string salida, errores;
  ASSERT_EQ(Correr({"drives", "--json"}, &salida, &errores), 0) << errores;
  PythonLeeCadaLinea(ArchivoSalida());
  bool visto = false;
  for (const std::string& linea : Lineas(salida)) {
    const auto unidad = LeerJson(linea);
    ASSERT_TRUE(unidad) << linea;
    if (unidad->Texto("label") != uno.etiqueta) continue;
    visto = true;
    EXPECT_EQ(unidad->Texto("serial"), uno.serie);
    EXPECT_EQ(unidad->Texto("mount"), uno.Raiz().string());
    EXPECT_EQ(unidad->Texto("type"), "fixed");  // a loop device
    EXPECT_FALSE(unidad->Miembro("removable")->logico);
    EXPECT_EQ(unidad->Entero("sector_size"), 512);
    EXPECT_GT(unidad->Entero("size").value_or(0), 40 << 20);
    EXPECT_GT(unidad->Entero("free").value_or(0), 0);
    EXPECT_LE(unidad->Entero("free").value_or(0), unidad->Entero("size").value_or(0));
    EXPECT_FALSE(unidad->Texto("letter").empty());
  }
  EXPECT_TRUE(visto) << salida;
  ASSERT_EQ(Correr({"drives"}, &salida, &errores), 0);
  EXPECT_NE(salida.find(uno.etiqueta), std::string::npos);
  EXPECT_NE(salida.find(uno.serie), std::string::npos);
}

}  // namespace

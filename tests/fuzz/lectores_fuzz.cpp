// libFuzzer target for the readers of the program's files: whatever the bytes, every reader
// ends without a crash or an unbounded allocation, and whatever it accepts is exactly what the
// writers make of the value read (the encodings have one form per value). A copy list is also
// opened against a fake pair of volumes (two folders, source D and destination E): whatever it
// holds, nothing planned names a path outside them or an impossible size, and nothing outside
// E is looked at on a destination.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/PlanLista.h"
#include "platform/paths.h"
#include "records/ArchivoLista.h"

#include "records/Codificacion.h"
#include "records/Listado.h"
#include "records/TFRec.h"

namespace {

constexpr std::int32_t kVersion = 42563;

void Exigir(bool condicion) {
  if (!condicion) __builtin_trap();
}

// The bytes a reader took between two points.
std::string_view Tomado(std::string_view bytes, const TLector& antes, const TLector& despues) {
  return bytes.substr(bytes.size() - antes.Restante(), antes.Restante() - despues.Restante());
}

void Enteros(std::string_view bytes) {
  TLector largos(bytes);
  for (;;) {
    const TLector antes = largos;
    std::int64_t valor;
    if (!largos.LeerEntero64(&valor)) {
      // A failed read takes nothing.
      Exigir(largos.Restante() == antes.Restante() && largos.Restante() < 8);
      break;
    }
    std::string escrito;
    EscribirEntero64(escrito, valor);
    Exigir(Tomado(bytes, antes, largos) == escrito);
  }
  TLector cortos(bytes);
  for (;;) {
    const TLector antes = cortos;
    std::int32_t valor;
    if (!cortos.LeerEntero(&valor)) {
      Exigir(cortos.Restante() == antes.Restante() && cortos.Restante() < 4);
      break;
    }
    std::string escrito;
    EscribirEntero(escrito, valor);
    Exigir(Tomado(bytes, antes, cortos) == escrito);
  }
}

void Cadenas(std::string_view bytes) {
  TLector lector(bytes);
  for (;;) {
    const TLector antes = lector;
    std::u16string texto;
    if (!LeerCadena(lector, &texto)) {
      Exigir(lector.Restante() == antes.Restante() && texto.empty());
      break;
    }
    std::string escrito;
    EscribirCadena(escrito, texto);
    Exigir(Tomado(bytes, antes, lector) == escrito);
  }
}

void Origenes(std::string_view bytes) {
  TLector lector(bytes);
  for (;;) {
    const TLector antes = lector;
    TFRec rec;
    if (!rec.LeerOrigen(lector)) break;
    Exigir(rec.DNombre.empty() && rec.DList.empty());
    std::string escrito;
    rec.EscribirOrigen(escrito);
    Exigir(Tomado(bytes, antes, lector) == escrito);
  }
}

void Listado(std::string_view bytes) {
  const auto lista = LeerListadoBytes(bytes, kVersion);
  // Read back, the records are the listing's bytes from its start.
  std::string escrito;
  for (const auto& rec : lista) rec->EscribirOrigen(escrito);
  Exigir(lista.empty() || bytes.substr(8, escrito.size()) == escrito);
}

void Registros(std::string_view bytes) {
  // Record after record, as a copy list holds them: one accepted has names inside a volume, a
  // possible size and no destination worker yet.
  TLector lector(bytes);
  for (;;) {
    TRegistroLista registro;
    const TLecturaRegistro lectura = LeerRegistroLista(lector, &registro);
    if (lectura == TLecturaRegistro::Fallo) break;
    if (lectura != TLecturaRegistro::Aceptado) continue;
    Exigir(NombreEnVolumen(registro.Rec.ONombre) && NombreEnVolumen(registro.Rec.DNombre));
    Exigir(registro.Rec.Talla >= 0 && registro.Rec.Talla <= kTallaMaxima);
    Exigir(registro.Rec.DList.empty());
  }
}

void ListaCopia(std::string_view bytes) {
  const TListaCopiaLeida lista = LeerListaCopia(bytes);
  for (const TRegistroLista& registro : lista.Registros) {
    Exigir(NombreEnVolumen(registro.Rec.ONombre) && NombreEnVolumen(registro.Rec.DNombre));
    Exigir(registro.Rec.Talla >= 0 && registro.Rec.Talla <= kTallaMaxima);
    Exigir(registro.Rec.DList.empty());
  }
  Exigir(lista.ConOrigen || lista.Registros.empty());
}

constexpr std::uint32_t kSerieOrigen = 0x11223344, kSerieDestino = 0x55667788;

// Two folders taken for volumes, made once: D holds a file, a folder with a file, a link that
// stays inside and one that leads out of it; E is the destination.
struct TVolumenes {
  std::string Base, D, E;
  TVolumenes() {
    // Below the folder tools/fuzz.sh makes and removes, else below /tmp.
    const char* carpeta = std::getenv("ORSANTA_FUZZ_VOLUMENES");
    std::string plantilla = std::string(carpeta ? carpeta : "/tmp") + "/orsanta-fuzz-XXXXXX";
    Base = mkdtemp(plantilla.data());
    D = Base + "/D";
    E = Base + "/E";
    namespace fs = std::filesystem;
    fs::create_directories(D + "/ab");
    fs::create_directories(E);
    std::ofstream(D + "/ab/ab") << "contenido";
    std::ofstream(D + "/a") << "x";
    std::ofstream(Base + "/fuera") << "secreto";
    fs::create_symlink("ab/ab", D + "/dentro");
    fs::create_symlink(Base + "/fuera", D + "/fuera");
  }
};

// Only E is opened as a destination, and every name looked at below it stays below it.
class TEntornoVigilado final : public platform::EnvWrapper {
 public:
  explicit TEntornoVigilado(std::string raiz)
      : platform::EnvWrapper(platform::DefaultEnv()), raiz_(std::move(raiz)) {}
  platform::Handle OpenVolumeRoot(const std::string& mount_point) override {
    Exigir(mount_point == raiz_);
    return target().OpenVolumeRoot(mount_point);
  }
  bool GetFileAttributesExAt(platform::Handle root, const std::u16string& path,
                             platform::FileAttributeData* data) override {
    Exigir(NombreEnVolumen(path));
    return target().GetFileAttributesExAt(root, path, data);
  }
  bool GetFileAttributesEx(const std::u16string&, platform::FileAttributeData*) override {
    Exigir(false);  // a destination is never looked at by a joined path
    return false;
  }

 private:
  const std::string raiz_;
};

void AbrirLista(std::string_view bytes) {
  static const TVolumenes volumenes;
  static TEntornoVigilado entorno(volumenes.E);
  const std::vector<TVolumenLista> presentes = {{kSerieOrigen, volumenes.D, 1},
                                                {kSerieDestino, volumenes.E, 2}};
  const TPlanLista plan = PlanearLista(entorno, LeerListaCopia(bytes), presentes, {});
  for (const auto& rec : plan.Registros) {
    Exigir(NombreEnVolumen(rec->ONombre) && NombreEnVolumen(rec->DNombre));
    Exigir(rec->Talla >= 0 && rec->Talla <= kTallaMaxima);
    // Only E, once: the source is never its own destination.
    Exigir(rec->DList == std::vector<TIdDestino>{2});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t talla) {
  const std::string_view bytes(reinterpret_cast<const char*>(datos), talla);
  Enteros(bytes);
  Cadenas(bytes);
  Origenes(bytes);
  Listado(bytes);
  Registros(bytes);
  ListaCopia(bytes);
  AbrirLista(bytes);
  return 0;
}

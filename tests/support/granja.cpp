#include "tests/support/granja.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/Manifiesto.h"
#include "engine/RegistroCopia.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "tests/support/esperar.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

// The program's relative name of a path below a root: components joined by backslashes.
std::u16string NombreRelativo(const fs::path& relativo) {
  std::u16string nombre;
  for (const auto& parte : relativo) {
    if (!nombre.empty()) nombre += u'\\';
    nombre += platform::DecodeName(parte.string());
  }
  return nombre;
}

// Pre-order, every folder before what it holds, as the folder scan gives them.
void Recorrer(const fs::path& raiz, const fs::path& carpeta, std::vector<fs::path>& salida) {
  std::vector<fs::path> entradas;
  for (const auto& entrada : fs::directory_iterator(carpeta)) {
    if (carpeta == raiz && NoEsDelTrabajo(entrada.path().filename().string())) continue;
    entradas.push_back(entrada.path());
  }
  std::sort(entradas.begin(), entradas.end());
  for (const auto& entrada : entradas) {
    salida.push_back(fs::relative(entrada, raiz));
    if (fs::is_directory(fs::symlink_status(entrada))) Recorrer(raiz, entrada, salida);
  }
}

}  // namespace

bool NoEsDelTrabajo(const std::string& nombre_en_raiz) {
  return nombre_en_raiz == "lost+found" ||
         EsManifiesto(std::u16string(nombre_en_raiz.begin(), nombre_en_raiz.end()));
}

Granja::Granja(const Volumen& volumen_origen, const std::vector<Volumen>& volumenes_destino,
               std::shared_ptr<platform::Env> env)
    : entorno(std::make_shared<TEntorno>(std::move(env))) {
  if (!LoopVolume::Available()) {
    error_ = "needs root and loop devices";
    return;
  }
  auto montar = [&](const Volumen& v) {
    LoopVolume::Options opciones;
    opciones.size_bytes = v.size_bytes;
    opciones.sector_size = v.sector_size;
    auto volumen = std::make_unique<LoopVolume>(opciones);
    if (!volumen->ok() && error_.empty()) error_ = volumen->error();
    return volumen;
  };
  origen_ = montar(volumen_origen);
  for (const auto& v : volumenes_destino) destinos_.push_back(montar(v));
  if (!error_.empty()) return;

  std::uint32_t sector_maximo = volumen_origen.sector_size;
  for (const auto& v : volumenes_destino) sector_maximo = std::max(sector_maximo, v.sector_size);
  // Named by the table in the order put: D for the source, then E, F, ...
  drives_ = platform::MakeFakeDrives();
  auto poner = [&](const LoopVolume& volumen, const char16_t* etiqueta, std::uint32_t serie,
                   std::uint32_t tipo, std::uint32_t sector) {
    return drives_->Put({u"", volumen.mount_point(), etiqueta, serie, tipo, sector, true});
  };
  auto arrancar = [&](const LoopVolume& volumen, const std::u16string& letra,
                      std::uint32_t serie, std::uint32_t sector) {
    auto hilo = TDHilo::Create(entorno);
    hilo->SetAppRec({u"V", letra, serie, sector, sector_maximo, volumen.mount_point()});
    Esperar([&] { return hilo->GetHRec().Montaje == volumen.mount_point(); });
    return hilo;
  };
  const std::u16string letra_origen =
      poner(*origen_, u"FUENTE", 0xD0, platform::DRIVE_FIXED, volumen_origen.sector_size);
  std::vector<std::u16string> letras;
  for (size_t i = 0; i < volumenes_destino.size(); ++i) {
    letras.push_back(poner(*destinos_[i], u"STICK", static_cast<std::uint32_t>(0xE0 + i),
                           platform::DRIVE_REMOVABLE, volumenes_destino[i].sector_size));
  }
  platform::SetDrives(drives_);

  origen = arrancar(*origen_, letra_origen, 0xD0, volumen_origen.sector_size);
  origen->EsOrigen();
  for (size_t i = 0; i < volumenes_destino.size(); ++i) {
    auto hilo = arrancar(*destinos_[i], letras[i], static_cast<std::uint32_t>(0xE0 + i),
                         volumenes_destino[i].sector_size);
    hilo->SetOD(origen);
    hilo->EsDestino();
    destinos.push_back(hilo);
  }
}

Granja::~Granja() {
  // The source ends its destinations itself, as at program close.
  if (origen) {
    for (auto& d : destinos) origen->AgregarEliminarDestino(d);
    origen->Terminate();
    for (auto& d : destinos) Esperar([&] { return d->Finished(); });
    Esperar([&] { return origen->Finished(); });
  }
  platform::SetDrives(nullptr);
}

// Pre-order through the platform's listings, which take paths of any length: every folder
// before what it holds, names in order within a folder.
void RecorrerUnidad(const std::string& montaje, const std::u16string& carpeta,
                    std::vector<std::u16string>& salida) {
  const std::u16string raiz = CaminoUnidad(montaje, u"");
  const std::u16string patron = carpeta.empty() ? raiz + u"*" : raiz + carpeta + u"\\*";
  std::vector<std::u16string> nombres;
  platform::FindData datos;
  const platform::Handle busqueda = platform::FindFirstFile(patron, &datos);
  if (busqueda == platform::kInvalidHandle) return;
  do {
    if (carpeta.empty() && NoEsDelTrabajo(platform::ToUtf8(datos.Name))) continue;
    nombres.push_back(datos.Name);
  } while (platform::FindNextFile(busqueda, &datos));
  platform::FindClose(busqueda);
  std::sort(nombres.begin(), nombres.end());
  for (const std::u16string& nombre : nombres) {
    const std::u16string relativo = carpeta.empty() ? nombre : carpeta + u'\\' + nombre;
    salida.push_back(relativo);
    if (platform::GetFileAttributes(raiz + relativo) & platform::FILE_ATTRIBUTE_DIRECTORY) {
      RecorrerUnidad(montaje, relativo, salida);
    }
  }
}

void Granja::Encolar(const std::string& carpeta, const std::vector<size_t>& para) {
  std::vector<std::u16string> entradas;
  const std::u16string inicio = NombreRelativo(carpeta);
  if (!inicio.empty()) entradas.push_back(inicio);
  RecorrerUnidad(origen_->mount_point(), inicio, entradas);
  std::vector<TIdDestino> lista;
  for (size_t i = 0; i < destinos.size(); ++i) {
    if (para.empty() || std::find(para.begin(), para.end(), i) != para.end()) {
      lista.push_back(destinos[i]->GetId());
    }
  }
  std::int64_t total_origen = 0;
  std::vector<std::unique_ptr<TFRec>> registros;
  for (const auto& relativo : entradas) {
    auto rec = std::make_unique<TFRec>();
    rec->ONombre = rec->DNombre = relativo;
    platform::FileAttributeData datos;
    if (!platform::GetFileAttributesEx(CaminoUnidad(origen_->mount_point(), rec->ONombre),
                                       &datos)) {
      continue;
    }
    rec->Talla = datos.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY ? 0 : datos.Size;
    rec->Atributos = datos.Attributes;
    rec->Tiempo = {datos.Times.Creation, datos.Times.LastAccess, datos.Times.LastWrite};
    rec->DList = lista;
    AddDFin(*rec, *origen);
    total_origen += rec->DTalla(origen->GetAppRec().SectorSize);
    registros.push_back(std::move(rec));
  }
  origen->AddDFin(total_origen);
  auto& cola = origen->LockFList();
  for (auto& rec : registros) cola.push_back(std::move(rec));
  origen->UnLockFList();
}

bool Granja::EsperarFin(std::chrono::seconds limite) {
  return Esperar(
      [&] {
        auto terminado = [](const TDHilo& h) {
          return h.EnReposo() && h.GetDFin() != 0 && h.GetDPos() == h.GetDFin();
        };
        if (!terminado(*origen)) return false;
        // A destination is done once its job is on the device.
        for (auto& d : destinos) {
          if (!(terminado(*d) && d->GetEstado() == TEstado::Terminado) && d->GetLEC() == 0)
            return false;
        }
        return true;
      },
      limite);
}

std::string CompararArboles(const std::string& a, const std::string& b) {
  std::vector<fs::path> en_a, en_b;
  Recorrer(a, a, en_a);
  Recorrer(b, b, en_b);
  if (en_a != en_b) {
    std::vector<fs::path> solo;
    std::set_symmetric_difference(en_a.begin(), en_a.end(), en_b.begin(), en_b.end(),
                                  std::back_inserter(solo));
    return "the trees hold different entries: " + (solo.empty() ? "order" : solo[0].string());
  }
  for (const auto& relativo : en_a) {
    const fs::path pa = fs::path(a) / relativo, pb = fs::path(b) / relativo;
    struct stat sa, sb;
    if (lstat(pa.c_str(), &sa) != 0 || lstat(pb.c_str(), &sb) != 0) return "stat " + pa.string();
    if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return "type " + relativo.string();
    if (S_ISDIR(sa.st_mode)) continue;
    if (sa.st_size != sb.st_size) return "size " + relativo.string();
    if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec ||
        sa.st_mtim.tv_nsec / 100 != sb.st_mtim.tv_nsec / 100) {
      return "last-write time " + relativo.string();
    }
    if (((sa.st_mode & 0222) == 0) != ((sb.st_mode & 0222) == 0)) {
      return "read-only state " + relativo.string();
    }
    std::ifstream fa(pa, std::ios::binary), fb(pb, std::ios::binary);
    if (!std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>())) {
      return "contents " + relativo.string();
    }
  }
  return "";
}

}  // namespace testing_support

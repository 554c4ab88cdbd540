#include "engine/OperacionesComprobacion.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "engine/Manifiesto.h"
#include "engine/NombreTemporal.h"
#include "engine/OperacionesDestino.h"
#include "platform/errors.h"
#include "records/Tallas.h"

namespace {

template <class T>
std::unique_ptr<T> Paso(const std::shared_ptr<TComprobacionArchivo>& archivo) {
  auto op = std::make_unique<T>();
  op->Archivo = archivo;
  op->ONombre = archivo->Recibido.ONombre;
  op->DNombre = archivo->Recibido.DNombre;
  op->FTalla = archivo->Recibido.Talla;
  op->FStr = {archivo->Recibido.Talla, -1};
  return op;
}

}  // namespace

void TComprobacionArchivo::CalcularLeidos() {
  if (Leidos == 0) return;
  Calculo.Agregar(Estado->Buffer, static_cast<std::size_t>(Leidos));
  Estado->Pos.fetch_add(Leidos, std::memory_order_relaxed);
  Leidos = 0;
}

bool ReservarBloque(const std::shared_ptr<TPoolBloques>& pool, std::int64_t MemoriaLibre,
                    TComprobaciones& estado) {
  if (estado.Buffer != nullptr) return true;
  estado.Buffer = pool->Tomar(MemoriaLibre);
  if (estado.Buffer != nullptr) estado.Pool = pool;
  return estado.Buffer != nullptr;
}

void TAbrirComprobacion::ExeIO(TContextoIO& C) {
  // Apart from the folder's open: a root gone ("not found" once its mount is) fails the stick
  // instead of leaving its files missing.
  if (!AbrirRaiz(C)) return Fallar(C);
  const platform::Handle carpeta = CarpetaExistente(C, DNombre);
  if (carpeta != platform::kInvalidHandle) {
    C.IOFile =
        C.Env.CreateFileAt(carpeta, Hoja(DNombre), platform::GENERIC_READ, platform::OPEN_EXISTING,
                           platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING);
  }
  if (C.IOFile == platform::kInvalidHandle) {
    // A file gone from the stick differs; anything else the stick says is its error.
    if (platform::GetLastError() != platform::ERROR_FILE_NOT_FOUND &&
        platform::GetLastError() != platform::ERROR_PATH_NOT_FOUND)
      return Fallar(C);
    Archivo->Falla = TFalla::Falta;
    return C.CP.Post(0, 0, nullptr);
  }
  platform::FileAttributeData datos;
  if (!C.Env.GetFileAttributesByHandle(C.IOFile, &datos)) return FallarAbierto(C);
  if (datos.Size != FTalla) {
    Archivo->Falla = TFalla::Talla;
    CerrarArchivo(C);
    return C.CP.Post(0, 0, nullptr);
  }
  if (!C.Env.BindToPort(C.IOFile, C.CP.shared_from_this())) return FallarAbierto(C);
  C.CP.Post(0, 0, nullptr);
}

void TLeerComprobacion::ExeIO(TContextoIO& C) {
  if (Archivo->Falla != TFalla::Ninguna) {
    Archivo->Estado->Pos.fetch_add(BytesEsperados(), std::memory_order_relaxed);
    return C.CP.Post(static_cast<std::uint32_t>(BytesEsperados()), 0, nullptr);
  }
  Archivo->CalcularLeidos();
  Archivo->Leidos = BytesEsperados();
  if (!C.Env.ReadFile(C.IOFile, Archivo->Estado->Buffer, static_cast<std::uint32_t>(Leer),
                      &ORec))
    Fallar(C);
}

void TCerrarComprobacion::ExeIO(TContextoIO& C) {
  Archivo->CalcularLeidos();
  CerrarArchivo(C);
  C.CP.Post(0, 0, nullptr);
}

void TCerrarComprobacion::OnExeIO() {
  TComprobaciones& estado = *Archivo->Estado;
  TRecibido recibido = Archivo->Recibido;
  recibido.Falla = Archivo->Falla;
  if (recibido.Falla == TFalla::Ninguna && Archivo->Calculo.Resultado() != recibido.Huella) {
    recibido.Falla = TFalla::Contenido;
  }
  (recibido.Falla == TFalla::Ninguna ? estado.Comprobados : estado.Diferentes)
      .push_back(std::move(recibido));
  --estado.EnCurso;
}

void TMedirComprobacion::ExeIO(TContextoIO& C) {
  if (!AbrirRaiz(C)) return Fallar(C);
  for (TRecibido& archivo : Archivos) {
    platform::FileAttributeData datos;
    if (C.Env.GetFileAttributesExAt(C.Sesion.Raiz, archivo.DNombre, &datos)) {
      // A folder at the name: its open as a file fails the stick, naming it.
      archivo.Talla = (datos.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : datos.Size;
    } else if (platform::GetLastError() == platform::ERROR_FILE_NOT_FOUND ||
               platform::GetLastError() == platform::ERROR_PATH_NOT_FOUND) {
      archivo.Talla = 0;
    } else {
      DNombre = archivo.DNombre;
      return Fallar(C);
    }
  }
  C.CP.Post(0, 0, nullptr);
}

void TMedirComprobacion::OnExeIO() {
  Estado->SoloComprobar = true;
  Estado->Archivos.store(static_cast<std::int64_t>(Archivos.size()), std::memory_order_relaxed);
  Estado->Recibidos.assign(std::make_move_iterator(Archivos.begin()),
                           std::make_move_iterator(Archivos.end()));
  Estado->Contados = 0;
}

void TFallarComprobacion::ExeIO(TContextoIO& C) {
  C.CP.PostFailure(0, 0, nullptr, platform::ERROR_CRC);
}

void TEscribirManifiesto::ExeIO(TContextoIO& C) {
  if (!AbrirRaiz(C)) return Fallar(C);
  const std::u16string temporal = NombreTemporal(kNombreManifiesto);
  BorrarArchivo(C.Env, C.Sesion.Raiz, temporal);
  C.IOFile = C.Env.CreateFileAt(C.Sesion.Raiz, temporal, platform::GENERIC_WRITE,
                                platform::CREATE_NEW, platform::FILE_FLAG_OVERLAPPED);
  if (C.IOFile == platform::kInvalidHandle) return Fallar(C);
  C.Sesion.Temporal = temporal;
  if (!C.Env.BindToPort(C.IOFile, C.CP.shared_from_this()) ||
      !C.Env.WriteFile(C.IOFile, Texto.data(), static_cast<std::uint32_t>(Texto.size()), &ORec))
    return Fallar(C);
}

void TCerrarManifiesto::ExeIO(TContextoIO& C) {
  const platform::Handle archivo = std::exchange(C.IOFile, platform::kInvalidHandle);
  if (!C.Env.CloseHandle(archivo) ||
      !C.Env.MoveFileAt(C.Sesion.Raiz, C.Sesion.Temporal, kNombreManifiesto))
    return Fallar(C);
  C.Sesion.Temporal.clear();
  if (!C.Env.FlushVolume(C.Sesion.Raiz, &ORec)) Fallar(C);
}

namespace {

// Appends the read-back of one received file to `cola`, and counts it under way in `estado`.
void PlanearComprobacion(const TRecibido& recibido, std::uint32_t SectorSize,
                         TComprobaciones& estado, std::deque<std::unique_ptr<TEspera>>& cola) {
  auto archivo = std::make_shared<TComprobacionArchivo>();
  archivo->Recibido = recibido;
  archivo->Estado = &estado;
  cola.push_back(Paso<TAbrirComprobacion>(archivo));
  for (std::int64_t pos = 0; pos < recibido.Talla; pos += kBloque) {
    auto leer = Paso<TLeerComprobacion>(archivo);
    const std::int64_t resto = std::min(kBloque, recibido.Talla - pos);
    leer->Leer = RedondearTalla(SectorSize, resto);
    leer->Bloque = leer->Leer;
    leer->FPos = pos;
    leer->SetOverlappedPos(pos);
    leer->FStr = {recibido.Talla, static_cast<std::int32_t>(pos * 100 / recibido.Talla)};
    cola.push_back(std::move(leer));
  }
  cola.push_back(Paso<TCerrarComprobacion>(archivo));
  ++estado.EnCurso;
}

}  // namespace

void PlanearTanda(std::uint32_t SectorSize, TComprobaciones& estado,
                  std::deque<std::unique_ptr<TEspera>>& cola) {
  std::deque<TRecibido>& recibidos = estado.Recibidos;
  for (std::size_t i = estado.Contados; i < recibidos.size(); ++i) {
    estado.Fin.fetch_add(recibidos[i].Talla, std::memory_order_relaxed);
  }
  constexpr std::size_t kArchivosPorTanda = 256;
  const std::size_t tanda = std::min(recibidos.size(), kArchivosPorTanda);
  for (std::size_t i = 0; i < tanda; ++i) {
    PlanearComprobacion(recibidos[i], SectorSize, estado, cola);
  }
  recibidos.erase(recibidos.begin(), recibidos.begin() + static_cast<std::ptrdiff_t>(tanda));
  estado.Contados = recibidos.size();
}

#include "engine/OperacionesOrigen.h"

#include <algorithm>
#include <memory>

#include "engine/TDHilo.h"
#include "engine/OperacionesDestino.h"
#include "platform/errors.h"
#include "platform/files.h"

namespace {

// Whether the open source file is still what its record planned.
bool SinCambios(TContextoIO& C, const TEspera& op) {
  platform::FileAttributeData ahora;
  if (!C.Env.GetFileAttributesByHandle(C.IOFile, &ahora)) return false;
  if (ahora.Size == op.FTalla && ahora.Times.LastWrite == op.FTiempo.ETiempo) return true;
  platform::SetLastError(platform::ERROR_FILE_INVALID);
  return false;
}

}  // namespace

// Queues one operation of class T on every destination, in order, under DList's lock, so that a
// destination detached meanwhile is served completely or not at all. A destination that has
// left the source's table (cancelled, gone) is not reached. Each operation takes the names (for
// the device list and the path) and whatever `campos` gives it.
template <class T, class Campos>
void TAbrirCarpeta::Repartir(Campos campos) {
  std::lock_guard<std::mutex> lock(DListLock);
  for (TIdDestino id : DList) {
    const std::shared_ptr<TDHilo> DH = OD->Destino(id);
    if (!DH) continue;
    auto op = std::make_unique<T>();
    op->ONombre = ONombre;
    op->DNombre = DNombre;
    campos(*op, *DH);
    DH->AgregarIO(std::move(op));
  }
}

void TAbrirCarpeta::ExeIO(TContextoIO& C) {
  C.CP.Post(0, 0, nullptr);
}

void TAbrirCarpeta::OnExeIO() {
  Repartir<TCrearCarpeta>([this](TEspera& op, TDHilo&) {
    op.FAtributos = FAtributos;
    op.FTiempo = FTiempo;
  });
}

void TAbrirCarpeta::OnReadError() {
  // Each destination takes back what it wrote, whole sectors of its own.
  Repartir<TCerrarArchivoIncompleto>([this](TEspera& op, TDHilo& DH) {
    op.BufBytes = -RedondearTalla(DH.GetAppRec().SectorSize, FPos);
  });
}

bool TAbrirCarpeta::BorrarDestino(TIdDestino DH) {
  std::lock_guard<std::mutex> lock(DListLock);
  auto found = std::find(DList.rbegin(), DList.rend(), DH);
  if (found == DList.rend()) return false;
  DList.erase(std::next(found).base());
  return true;
}

void TAbrirCarpeta::LlenarDList(std::vector<TIdDestino>& DL) {
  std::lock_guard<std::mutex> lock(DListLock);
  DL.insert(DL.end(), DList.begin(), DList.end());
}

void TAbrirCarpeta::AgregarDestino(TIdDestino DH) {
  std::lock_guard<std::mutex> lock(DListLock);
  if (std::find(DList.begin(), DList.end(), DH) == DList.end()) DList.push_back(DH);
}

std::u16string TAbrirCarpeta::RutaOrigen(const std::string& Montaje) const {
  return CaminoUnidad(Montaje, ONombre);
}

void TAbrirArchivoVacio::OnExeIO() {
  Repartir<TCrearArchivoVacio>([this](TCrearArchivoVacio& op, TDHilo&) {
    op.FAtributos = FAtributos;
    op.FTiempo = FTiempo;
    op.Huella = HuellaDe(nullptr, 0);
  });
}

void TAbrirArchivo::ExeIO(TContextoIO& C) {
  C.IOFile = C.Env.CreateFile(
      RutaOrigen(C.Montaje), platform::GENERIC_READ, platform::FILE_SHARE_READ,
      platform::OPEN_EXISTING,
      platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING |
          platform::FILE_ATTRIBUTE_NORMAL);
  if (C.IOFile == platform::kInvalidHandle) {
    C.CP.PostFailure(0, 0, nullptr, platform::GetLastError());
    return;
  }
  if (!SinCambios(C, *this) || !C.Env.BindToPort(C.IOFile, C.CP.shared_from_this()))
    return FallarAbierto(C);
  C.CP.Post(0, 0, nullptr);
}

void TAbrirArchivo::OnExeIO() {
  const auto campos = [this](TEspera& op, TDHilo&) {
    op.FStr = FStr;
    op.FTalla = FTalla;
  };
  if (Desde > 0) {
    Repartir<TReanudarArchivo>(campos);
  } else {
    Repartir<TCrearArchivo>(campos);
  }
}

bool TLeerArchivo::CrearBuf(const std::shared_ptr<TPoolBloques>& pool,
                            std::int64_t MemoriaLibre) {
  // A small file's read touches only the first pages of its block.
  Buf = pool->Tomar(MemoriaLibre, BufBytes > pool->Talla() / 2);
  if (Buf == nullptr) return false;
  Pool = pool;
  // The backlog counts the memory held: a whole block of the pool, however short the file.
  Cache = pool->Talla();
  BufCount = new std::atomic<std::int32_t>(1);
  return true;
}

void TLeerArchivo::ExeIO(TContextoIO& C) {
  // The read reports its end, success or error, as a packet.
  if (!C.Env.ReadFile(C.IOFile, Buf, static_cast<std::uint32_t>(BufBytes), &ORec)) {
    C.CP.PostFailure(0, 0, nullptr, platform::GetLastError());
  }
}

void TLeerArchivo::OnExeIO() {
  // Past the planned end the buffer holds sector padding, no part of the file. A file read
  // again from where a detached copy stopped feeds the fingerprint only past what the first
  // read fed it.
  const std::int64_t leidos = std::min(BufBytes, FTalla - FPos);
  if (Huella && Huella->Bytes() == FPos) Huella->Agregar(Buf, static_cast<std::size_t>(leidos));
  Repartir<TEscribirArchivo>([this](TEspera& op, TDHilo& DH) {
    // Each write holds the buffer from before it is queued, and the read holds it until it is
    // destroyed after this handler: the counter never reaches 0 while a holder is left.
    BufCount->fetch_add(1, std::memory_order_relaxed);
    CompartirBuf(op);
    op.FStr = FStr;
    op.FTalla = FTalla;
    op.Cache = Cache;
    op.Bloque = Bloque;
    op.FPos = FPos;
    op.ORec = ORec;
    // Each drive writes whole sectors of its own; the buffer is sized for the largest sector.
    op.BufBytes = RedondearTalla(DH.GetAppRec().SectorSize, BufBytes);
  });
}

void TCerrarArchivo::ExeIO(TContextoIO& C) {
  if (!SinCambios(C, *this)) return FallarAbierto(C);
  CerrarArchivo(C);
  C.CP.Post(0, 0, nullptr);
}

void TCerrarArchivo::OnExeIO() {
  const THuella huella = Huella ? Huella->Resultado() : THuella{};
  Repartir<TCerrarArchivoCreado>([this, huella](TCerrarArchivoCreado& op, TDHilo&) {
    op.Huella = huella;
    op.FStr = FStr;
    op.FPos = FPos;
    op.FTalla = FTalla;
    op.FAtributos = FAtributos;
    op.FTiempo = FTiempo;
  });
}

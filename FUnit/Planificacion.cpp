// Planning a record into its chain of source-side operations: one for a folder or an empty
// file; open, one read per 2 MiB block and close for any other file. No I/O, no buffers.
#include "DUnit/TDHilo.h"
#include "DUnit/TallaStr.h"
#include "FUnit/TFRec.h"
#include "IOUnit/OperacionesOrigen.h"

namespace {

constexpr std::int64_t kBloque = 2 * 1024 * 1024;


}  // namespace

template <class T>
std::unique_ptr<T> TFRec::Operacion() const {
  auto op = std::make_unique<T>();
  op->ONombre = ONombre;
  op->DNombre = DNombre;
  op->FAtributos = Atributos;
  op->FTiempo = Tiempo;
  for (TDHilo* DH : DList) op->AgregarDestino(DH);
  return op;
}

std::unique_ptr<TAbrirCarpeta> TFRec::IOCarpeta() const { return Operacion<TAbrirCarpeta>(); }

std::unique_ptr<TAbrirCarpeta> TFRec::IOArchivoVacio() const {
  return Operacion<TAbrirArchivoVacio>();
}

std::unique_ptr<TAbrirCarpeta> TFRec::IOAbrirArchivo() const {
  auto op = Operacion<TAbrirArchivo>();
  op->FTalla = Talla;
  op->FStr = u" " + TallaStr(Talla);
  return op;
}

std::unique_ptr<TLeerArchivo> TFRec::IOLeerArchivo(const TDHilo& OD, std::int64_t& OPos) const {
  auto op = Operacion<TLeerArchivo>();
  const THRec origen = OD.GetAppRec();
  if (OPos + kBloque <= Talla) {
    op->BufBytes = kBloque;
    op->Bloque = kBloque;
  } else {
    // The last block reads whole source sectors into a buffer that holds whole sectors of the
    // largest drive, so that every destination's rounded write stays inside it.
    const std::int64_t resto = Talla - OPos;
    op->BufBytes = RedondearTalla(origen.SectorSize, resto);
    op->Bloque = RedondearTalla(origen.MaxSectorSize, resto);
  }
  op->FPos = OPos;
  op->SetOverlappedPos(OPos);
  op->FTalla = Talla;
  op->FStr = u" " + TallaStr(Talla) + u" " + EnteroStr(OPos * 100 / Talla) + u"%";
  OPos += op->BufBytes;
  return op;
}

std::unique_ptr<TAbrirCarpeta> TFRec::IOCerrarArchivo() const {
  auto op = Operacion<TCerrarArchivo>();
  op->FTalla = Talla;
  op->FPos = Talla;
  op->FStr = u" " + TallaStr(Talla) + u" 100%";
  return op;
}

void TFRec::LlenarIOList(const TDHilo& OD, std::deque<std::unique_ptr<TEspera>>& IOL) const {
  if (Atributos & platform::FILE_ATTRIBUTE_DIRECTORY) {
    IOL.push_back(IOCarpeta());
    return;
  }
  if (Talla == 0) {
    IOL.push_back(IOArchivoVacio());
    return;
  }
  IOL.push_back(IOAbrirArchivo());
  std::int64_t OPos = 0;
  do {
    IOL.push_back(IOLeerArchivo(OD, OPos));
  } while (OPos < Talla);
  IOL.push_back(IOCerrarArchivo());
}

// Planning a record into its chain of source-side operations: one for a folder or an empty
// file; open, one read per 2 MiB block and close for any other file. No I/O, no buffers.
#include "engine/Planificacion.h"

#include "engine/TDHilo.h"
#include "records/Tallas.h"

namespace {

template <class T>
std::unique_ptr<T> Operacion(const TFRec& FR, const TDHilo& OD) {
  auto op = std::make_unique<T>();
  op->OD = &OD;
  op->ONombre = FR.ONombre;
  op->DNombre = FR.DNombre;
  op->FAtributos = FR.Atributos;
  op->FTiempo = FR.Tiempo;
  for (TIdDestino DH : FR.DList) op->AgregarDestino(DH);
  return op;
}

}  // namespace

std::unique_ptr<TAbrirCarpeta> IOCarpeta(const TFRec& FR, const TDHilo& OD) {
  return Operacion<TAbrirCarpeta>(FR, OD);
}

std::unique_ptr<TAbrirCarpeta> IOArchivoVacio(const TFRec& FR, const TDHilo& OD) {
  return Operacion<TAbrirArchivoVacio>(FR, OD);
}

std::unique_ptr<TAbrirCarpeta> IOAbrirArchivo(const TFRec& FR, const TDHilo& OD) {
  auto op = Operacion<TAbrirArchivo>(FR, OD);
  op->FTalla = FR.Talla;
  op->Desde = FR.Desde;
  // Where the destinations stand: a read failure takes back this much of a resumed copy.
  op->FPos = FR.Desde;
  op->FStr = {FR.Talla, -1};
  return op;
}

std::unique_ptr<TLeerArchivo> IOLeerArchivo(const TFRec& FR, const TDHilo& OD,
                                            std::int64_t& OPos) {
  auto op = Operacion<TLeerArchivo>(FR, OD);
  const THRec origen = OD.GetAppRec();
  if (OPos + kBloque <= FR.Talla) {
    op->BufBytes = kBloque;
    op->Bloque = kBloque;
  } else {
    // The last block reads whole source sectors into a buffer that holds whole sectors of the
    // largest drive, so that every destination's rounded write stays inside it.
    const std::int64_t resto = FR.Talla - OPos;
    op->BufBytes = RedondearTalla(origen.SectorSize, resto);
    op->Bloque = RedondearTalla(origen.MaxSectorSize, resto);
  }
  op->FPos = OPos;
  op->Desde = FR.Desde;
  op->SetOverlappedPos(OPos);
  op->FTalla = FR.Talla;
  op->FStr = {FR.Talla, static_cast<std::int32_t>(OPos * 100 / FR.Talla)};
  OPos += op->BufBytes;
  return op;
}

std::unique_ptr<TCerrarArchivo> IOCerrarArchivo(const TFRec& FR, const TDHilo& OD) {
  auto op = Operacion<TCerrarArchivo>(FR, OD);
  op->Desde = FR.Desde;
  op->FTalla = FR.Talla;
  op->FPos = FR.Talla;
  op->FStr = {FR.Talla, 100};
  return op;
}

std::unique_ptr<TFRec> RegistroDe(const TEspera& op) {
  auto R = std::make_unique<TFRec>();
  R->ONombre = op.ONombre;
  R->DNombre = op.DNombre;
  R->Talla = op.FTalla;
  R->Atributos = op.FAtributos;
  R->Tiempo = op.FTiempo;
  return R;
}

void LlenarIOList(const TFRec& FR, const TDHilo& OD, std::deque<std::unique_ptr<TEspera>>& IOL) {
  if (FR.Atributos & platform::FILE_ATTRIBUTE_DIRECTORY) {
    IOL.push_back(IOCarpeta(FR, OD));
    return;
  }
  if (FR.Talla == 0) {
    IOL.push_back(IOArchivoVacio(FR, OD));
    return;
  }
  IOL.push_back(IOAbrirArchivo(FR, OD));
  // A file read again from Desde goes on with the fingerprint its first read took.
  const auto huella = FR.Huella ? FR.Huella : std::make_shared<TCalculoHuella>();
  std::int64_t OPos = FR.Desde;
  do {
    auto leer = IOLeerArchivo(FR, OD, OPos);
    leer->Huella = huella;
    IOL.push_back(std::move(leer));
  } while (OPos < FR.Talla);
  auto cerrar = IOCerrarArchivo(FR, OD);
  cerrar->Huella = huella;
  IOL.push_back(std::move(cerrar));
}

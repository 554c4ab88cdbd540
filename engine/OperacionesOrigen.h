// Source-side operations. Each carries the destination workers that still need its entry and,
// when it completes, queues the matching destination-side operation on every one of them; a
// block's buffer is shared by the read and all its writes, never copied.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

#include "records/Huella.h"
#include "engine/TEspera.h"

// A folder: nothing is read; each destination creates it.
class TAbrirCarpeta : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;
  // Each destination closes its copy of the file and takes back the progress written for it.
  void OnReadError() override;
  bool BorrarDestino(TIdDestino DH) override;
  void LlenarDList(std::vector<TIdDestino>& DL) override;

  // Adds a destination unless it is already there.
  void AgregarDestino(TIdDestino DH);

  // The source worker whose table of destinations the operation reaches its destinations
  // through; it owns the operation, so it outlives it.
  const TDHilo* OD = nullptr;

 protected:
  // The path of this entry on the source drive.
  std::u16string RutaOrigen(const std::string& Montaje) const;
  template <class T, class Campos>
  void Repartir(Campos campos);

  std::mutex DListLock;           // guards DList; taken before a destination's IOList
  std::vector<TIdDestino> DList;  // guarded by DListLock
};

class TAbrirArchivoVacio : public TAbrirCarpeta {
 public:
  void OnExeIO() override;
};

// Opens the source file, unbuffered, bound to the source's port. A file whose size or last
// write time is no longer the planned one fails with ERROR_FILE_INVALID, here and again when it
// is closed, so that no copy of a file that changed under the read is completed; the retry
// plans it as it is then.
class TAbrirArchivo : public TAbrirCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;

  // Shared by the reads and the close of one planned read of the file: each block read feeds
  // it, and the close hands the result to every copy, so that the source is read only once.
  std::shared_ptr<TCalculoHuella> Huella;
  // Bytes of the file every destination already has (TFRec::Desde): they resume their
  // suspended copies instead of creating new ones.
  std::int64_t Desde = 0;
};

// Reads one block into a buffer of its own and hands the buffer to a write per destination.
class TLeerArchivo : public TAbrirArchivo {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;
  // Takes the block from the pool, which lends none past the memory the engine may take.
  bool CrearBuf(const std::shared_ptr<TPoolBloques>& pool, std::int64_t MemoriaLibre) override;
  // Up to the planned end of the file: a read that stops before it found the file cut short.
  std::int64_t BytesEsperados() const override { return std::min(BufBytes, FTalla - FPos); }
  platform::ErrorCode ErrorCorta() const override { return platform::ERROR_HANDLE_EOF; }
};

class TCerrarArchivo : public TAbrirArchivo {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;
};

// The base of every queued I/O operation. A plain TEspera is the idle operation: it waits
// 200 ms, or until work is queued for its worker, and reports completion, so that an idle worker
// turns five times a second and a busy one starts new work at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "records/Huella.h"
#include "engine/PoolBloques.h"
#include "engine/TSesionDestino.h"
#include "platform/completion_port.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/types.h"
#include "records/TFRec.h"
#include "records/Tallas.h"
#include "records/TFTiempo.h"

class TDHilo;

// What an operation works with when its worker starts it: the services of the environment the
// program was given, the worker's port and open file, its drive's sector size and mount point,
// and what a destination holds on its drive.
struct TContextoIO {
  platform::Env& Env;
  platform::CompletionPort& CP;
  std::uint32_t SectorSize;
  const std::string& Montaje;
  platform::Handle& IOFile;
  TSesionDestino& Sesion;
};

// What a row shows beside the file's name: the file's size and, for a block of it, how much of
// the file is read once the block is; the front ends make the text.
struct TFStr {
  std::int64_t Talla = -1;        // -1: nothing is shown
  std::int32_t Porcentaje = -1;   // -1: the size alone
  bool operator==(const TFStr&) const = default;
};

class TEspera {
 public:
  TEspera() = default;
  // Gives up this operation's share of the block buffer; the last holder releases it.
  virtual ~TEspera();
  TEspera(const TEspera&) = delete;
  TEspera& operator=(const TEspera&) = delete;

  // Starts the operation on its worker's thread. Exactly one packet must reach CP when it
  // succeeds and none when it fails. The base waits as said above and posts a packet.
  // Montaje is the mount point of the worker's drive, which its paths are built on.
  virtual void ExeIO(TContextoIO& C);
  // Completion handler, after this operation's packet was taken.
  virtual void OnExeIO() {}
  // The bytes the packet must report for a transfer, -1 for an operation that moves none; a
  // packet that reports fewer failed with ErrorCorta().
  virtual std::int64_t BytesEsperados() const { return -1; }
  virtual platform::ErrorCode ErrorCorta() const { return platform::ERROR_GEN_FAILURE; }
  // True for a destination's operation that finishes a record on its drive.
  virtual bool CierraRegistro() const { return false; }
  // For a destination's operation that gives a copied file its final name: the fingerprint the
  // source read gave its contents, which the read-back and the manifest check against.
  virtual const THuella* HuellaCopia() const { return nullptr; }
  // False for an operation that writes nothing the drive's sync must flush (a read-back).
  virtual bool Escribe() const { return true; }
  // How long the worker waits for this operation's packet, given the answer time the settings
  // give a device; past it the device is taken for silent.
  virtual std::uint32_t Plazo(platform::Env& /*env*/, std::uint32_t tiempo_error) const {
    return tiempo_error;
  }
  // True for a step of a read-back: the drive shows Verificando while it runs. (The manifest's
  // write writes nothing a sync must flush either, but it is no check.)
  virtual bool Comprueba() const { return false; }
  // On the source worker, after this operation failed.
  virtual void OnReadError() {}
  // Removes DH from the operation's destinations; true when it was there.
  virtual bool BorrarDestino(TIdDestino DH);
  // Prepares the buffer before the operation is started; false: try again later.
  virtual bool CrearBuf(const std::shared_ptr<TPoolBloques>& pool, std::int64_t MemoriaLibre);
  // Appends the operation's destination workers to DL.
  virtual void LlenarDList(std::vector<TIdDestino>& DL);

  void SetOverlappedPos(std::int64_t OPos);

  // Shares this operation's buffer with `other`, which must hold none: the caller has already
  // raised the counter for it.
  void CompartirBuf(TEspera& other) const;

  // Reference count of Buf, shared by every operation that holds the same buffer. The holder
  // that brings it to zero frees the counter and gives the buffer back to Pool, its lender.
  std::atomic<std::int32_t>* BufCount = nullptr;
  void* Buf = nullptr;
  std::shared_ptr<TPoolBloques> Pool;
  platform::Overlapped ORec;
  std::uint32_t IOBytes = 0;
  std::int64_t Cache = 0;
  std::int64_t Bloque = 0;
  std::int64_t BufBytes = 0;
  std::int64_t FPos = 0;
  std::int64_t FTalla = 0;
  std::u16string ONombre;
  std::u16string DNombre;
  TFStr FStr;
  std::uint32_t FAtributos = 0;
  TFTiempo FTiempo;
};

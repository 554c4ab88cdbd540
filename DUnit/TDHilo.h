// The device worker: one thread and one completion port per drive. It runs its queued operations
// one after the other; the source worker plans and reads, destination workers create and write.
//
// Lifetime: a worker is held by shared pointers (the program's device list, its thread while the
// loop runs, and every destination whose source it is), so no thread ever reaches a freed
// worker. When its loop ends the thread runs Destroy(), which releases everything the worker
// holds; the object itself goes with the last pointer.
//
// Lock order where locks nest: EliminarDestinosList or IOList before FList; FList before
// DFinList; a source operation's DList before a destination's IOList; the source's locks before
// a destination's IOList. A destination never holds one of its own locks while it takes one of
// the source's. Textos guards the display values and is taken alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "DUnit/TEntorno.h"
#include "DUnit/TListaProtegida.h"
#include "FUnit/TFRec.h"
#include "IOUnit/TEspera.h"
#include "platform/canvas.h"
#include "platform/completion_port.h"
#include "platform/thread.h"

// Drive identity.
struct THRec {
  std::u16string Nombre;
  char16_t Letra = 0;
  std::uint32_t ID = 0;
  std::uint32_t SectorSize = 0;
  std::uint32_t MaxSectorSize = 0;
};

// One node of the ring of position samples.
struct TVRec {
  std::int64_t Pos = 0;
  TVRec* Last = nullptr;
};

// What the device list shows of an operation; copied so that a reader never meets an operation
// that another thread has destroyed.
struct TMuestra {
  std::u16string ONombre, DNombre, FStr;
  std::int64_t FPos = 0;
  std::int64_t FTalla = 0;
};

class TDHilo {
 public:
  // Main thread. Makes a worker and starts its thread.
  static std::shared_ptr<TDHilo> Create(std::shared_ptr<TEntorno> entorno);
  ~TDHilo();
  TDHilo(const TDHilo&) = delete;
  TDHilo& operator=(const TDHilo&) = delete;

  // Roles, set on the main thread. A destination's OD is set (SetOD) before EsDestino.
  void EsOrigen();
  void EsDestino();
  void SetOD(const std::shared_ptr<TDHilo>& source);
  TDHilo* GetOD() const { return OD.load(std::memory_order_acquire); }
  bool EsLaFuente() const { return GetOD() == this; }

  // Any thread: asks the loop to end at its next turn.
  void Terminate() { Hilo.Terminate(); }
  bool Terminated() const { return Hilo.Terminated(); }
  // Main thread: stop and continue at a point where the worker holds no lock.
  void Suspend() { Hilo.Suspend(); }
  void Resume() { Hilo.Resume(); }
  bool Suspended() const { return Hilo.Suspended(); }
  // True once a suspended worker has reached its pause point and runs nothing more.
  bool Detenido() const { return Hilo.Paused(); }
  // True once the thread has run Destroy().
  bool Finished() const { return Terminado.load(std::memory_order_acquire); }

  // The source's queue of records, locked until UnLockFList.
  std::deque<std::unique_ptr<TFRec>>& LockFList();
  void UnLockFList();

  // Any thread: queues a change of DFin, folded in by the worker on its next turn.
  void AddDFin(std::int64_t I64);
  // On the source worker, from any thread: takes DH out of every queued record.
  void EliminarFiles(TDHilo* DH);
  // Main thread: hands a destination to the source to be detached and ended.
  void AgregarEliminarDestino(std::shared_ptr<TDHilo> DH);
  // Main thread, on the source: the queued records that DH needs move to the front, each with
  // DH as its first destination; the rest follow, most destinations first.
  void PriorizarDestino(TDHilo* DH);
  // Buffer bytes queued in IOList and not started, kept as operations come and go, so that
  // the source can weigh every destination's backlog on each turn without walking queues.
  std::int64_t GetCache();
  // Appends an operation to the end of this worker's queue (any thread; takes IOList's lock).
  void AgregarIO(std::unique_ptr<TEspera> op);
  // Hands a finished operation to this (source) worker to be destroyed.
  void AgregarLiberar(std::unique_ptr<TEspera> op);

  // Main thread, on the source: reads one whole record of a copy list and queues it when some
  // present destination still needs it. False on a read failure.
  bool LeerFR(TLector& FS, const std::vector<TDHilo*>& IDL);
  // Any thread: the worker's line of the status page.
  std::u16string GetWebStr() const;

  // Main thread, every timer tick: speed and finish time, or the error text.
  void OnTime();
  // Main thread: reads the drive's free space and has Capacidad rebuilt.
  void GetEspacioLibre();
  // Main thread: draws the worker's item of the device list.
  void Pintar(platform::Canvas& canvas, const platform::Rect& R);

  // Display values, safe from any thread. Sizes that other threads round to this drive's
  // sectors use the identity the last refresh gave (GetAppRec): the worker adopts it only at the
  // end of its next turn, and totals and writes must agree from the first drop on.
  std::u16string GetVelocidad() const;
  std::u16string GetCapacidad() const;
  THRec GetHRec() const;
  void SetAppRec(const THRec& rec);
  THRec GetAppRec() const;
  TMuestra GetMuestra() const;  // IOError's while in error, else the operation under way

  // Counters, read whole from any thread.
  std::int64_t GetDPos() const { return DPos.load(std::memory_order_relaxed); }
  std::int64_t GetDFin() const { return DFin.load(std::memory_order_relaxed); }
  std::int64_t GetEspacio() const { return EspacioLibre.load(std::memory_order_relaxed); }
  std::uint32_t GetLEC() const { return LEC.load(std::memory_order_relaxed); }
  // True after a turn that left nothing under way and nothing queued: the worker idles.
  bool EnReposo() const { return Reposo.load(std::memory_order_acquire); }
  // Turns of the loop so far (for tests and the status of a worker).
  std::uint64_t GetVueltas() const { return Vueltas.load(std::memory_order_relaxed); }

  // Main thread only.
  std::uint8_t Orden = 0;
  bool Seleccionado = false;

 private:
  enum class TPapel { Ninguno, Origen, Destino };

  explicit TDHilo(std::shared_ptr<TEntorno> entorno);
  void Execute();
  void Destroy();
  void Continuar();
  void ContinuarDestino();
  void ContinuarOrigen();
  void TomarSiguiente();
  void CrearEspera();
  void ErrorOrigen();
  void ReintentarArchivo();
  void ErrorDestino();
  void EliminarDestinos();
  void ActualizarCapacidad();
  void PublicarMuestra();

  // Worker thread only, unless noted.
  std::shared_ptr<TEntorno> Entorno;        // immutable
  TListaProtegida<std::unique_ptr<TFRec>> FList;
  TListaProtegida<std::int64_t> DFinList;
  THRec HRec;                               // written by the worker; others read a copy via Textos
  std::unique_ptr<TEspera> IOLast;
  std::unique_ptr<TEspera> IONext;
  std::unique_ptr<TEspera> IOError;
  platform::PortPtr IOCP;                   // immutable
  platform::Handle IOFile = platform::kInvalidHandle;
  std::atomic<std::int64_t> DPos{0};        // written by the worker
  std::atomic<std::int64_t> DFin{0};        // written by the worker
  std::atomic<std::int64_t> EspacioLibre{0};  // written by the main thread
  TVRec* VRec = nullptr;                    // main thread
  const std::atomic<platform::Color>* PaintBoxColor;  // main thread
  std::atomic<TPapel> Papel{TPapel::Ninguno};  // the continuation: written by the main thread
  std::atomic<std::uint32_t> LEC{0};        // written by the worker
  std::atomic<TDHilo*> OD{nullptr};         // written by the main thread
  std::shared_ptr<TDHilo> ODVida;           // keeps a destination's source alive
  TListaProtegida<std::unique_ptr<TEspera>> IOList;
  // The Cache of IOList's operations as they were queued; changed under IOList's lock.
  std::atomic<std::int64_t> CacheEnCola{0};
  TListaProtegida<std::unique_ptr<TEspera>> LiberarIOList;
  TListaProtegida<std::shared_ptr<TDHilo>> EliminarDestinosList;

  mutable std::mutex Textos;  // guards the display values below
  std::u16string Velocidad;   // written by the main thread
  std::u16string Capacidad;   // written by the worker
  THRec HRecVisible;          // the worker's HRec as others see it
  THRec AppRec;               // written by the main thread
  TMuestra MuestraLast;       // the operation under way
  TMuestra MuestraError;      // the operation that failed last

  platform::ThreadControl Hilo;
  std::atomic<bool> Terminado{false};
  std::atomic<std::uint64_t> Vueltas{0};
  std::atomic<bool> Reposo{false};
};

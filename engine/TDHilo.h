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
// the source's. Textos guards the published values and is taken alone, or inside CambioEstado,
// which is taken before the events' lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/TComprobaciones.h"
#include "engine/TDestinos.h"
#include "engine/TEntorno.h"
#include "engine/TEventos.h"
#include "engine/TListaProtegida.h"
#include "records/TFRec.h"
#include "engine/TEspera.h"
#include "platform/completion_port.h"
#include "platform/thread.h"

// Drive identity. The engine reaches the drive through Montaje; Letra is only the name the rows
// show ("E", "AB").
struct THRec {
  std::u16string Nombre;
  std::u16string Letra;
  std::uint32_t ID = 0;
  std::uint32_t SectorSize = 0;
  std::uint32_t MaxSectorSize = 0;
  std::string Montaje{};  // the drive's mount point; empty while the worker has no drive
};

// One node of the ring of position samples.
struct TVRec {
  std::int64_t Pos = 0;
  TVRec* Last = nullptr;
};

// What the front ends show of an operation; copied so that a reader never meets an operation
// that another thread has destroyed.
struct TMuestra {
  std::u16string ONombre, DNombre;
  TFStr FStr;
  std::int64_t FPos = 0;
  std::int64_t FTalla = 0;
};

// Free space as last read, less the work still to do on a destination, computed when a change
// of the work total is folded in. Not Valida until the first change.
struct TCapacidad {
  bool Valida = false;
  bool Faltan = false;       // the work left exceeds the free space by Bytes
  std::int64_t Bytes = 0;
};

// The speed of the last timer tick, in bytes a second, and when the work left would end at it
// (a day fraction, local time); or the error the worker was in at that tick.
struct TVelocidad {
  std::uint32_t Error = 0;
  std::int64_t BytesSegundo = 0;
  double Termina = 0;
};

// A destination's read-back of its job: bytes read back and to read, whether its last job
// ended verified, and the files that differed again after being copied anew.
struct TComprobacionFoto {
  std::int64_t Pos = 0;
  std::int64_t Fin = 0;
  std::int64_t Archivos = 0;
  bool Verificado = false;
  std::vector<TArchivoFallido> Fallidos;
};

// A worker as every front end sees it at one moment: numbers, states, the current file and
// error codes. The texts are made from it by the front ends.
struct TInstantanea {
  THRec HRec;
  bool EsOrigen = false;
  TEstado Estado = TEstado::Reposo;
  std::int64_t DPos = 0;
  std::int64_t DFin = 0;
  std::int64_t EspacioLibre = 0;
  std::uint32_t LEC = 0;
  // The source: bytes it read again for destinations split off or detached as laggards.
  std::int64_t Releido = 0;
  TCapacidad Capacidad;
  TVelocidad Velocidad;
  TMuestra Muestra;  // the failed operation while in error, else the one under way
  TComprobacionFoto Comprobacion;
};

class TLeerArchivo;

class TDHilo : public std::enable_shared_from_this<TDHilo> {
 public:
  // Main thread. Makes a worker and starts its thread.
  static std::shared_ptr<TDHilo> Create(std::shared_ptr<TEntorno> entorno);
  ~TDHilo();
  TDHilo(const TDHilo&) = delete;
  TDHilo& operator=(const TDHilo&) = delete;

  // This worker's identity as a destination: unique in this run, never reused.
  TIdDestino GetId() const { return Id; }

  // Roles, set on the main thread. A destination's OD is set (SetOD) before EsDestino; SetOD
  // enters it in the source's table of destinations.
  void EsOrigen();
  void EsDestino();
  void SetOD(const std::shared_ptr<TDHilo>& source);
  // Any thread, on the source: the destination with that identity while it is in the table.
  std::shared_ptr<TDHilo> Destino(TIdDestino id) const { return Destinos.Buscar(id); }
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

  // Any thread: queues a change of DFin, folded in by the worker on its next turn. On a
  // destination, `registros` counts the records the change adds (or takes away, negative): the
  // job is complete when every byte is written and every record finished, folders and empty
  // files included, which move no bytes.
  void AddDFin(std::int64_t I64, std::int64_t registros = 0);
  // On the source worker, from any thread: takes DH out of every queued record; records left
  // with no destination leave the queue and the source's total.
  void EliminarFiles(TIdDestino DH);
  // Main thread: hands a destination to the source to be detached and ended. It leaves the
  // table of destinations at once, so no operation reaches it from here on.
  void AgregarEliminarDestino(std::shared_ptr<TDHilo> DH);
  // Main thread, on the source: the queued records that DH needs move to the front, each with
  // DH as its first destination; the rest follow, most destinations first.
  void PriorizarDestino(TIdDestino DH);
  // Buffer bytes queued in IOList and not started, kept as operations come and go, so that
  // the source can weigh every destination's backlog on each turn without walking queues.
  std::int64_t GetCache();
  // Appends an operation to the end of this worker's queue (any thread; takes IOList's lock).
  void AgregarIO(std::unique_ptr<TEspera> op);
  // On a destination, from the source's thread: drops the writes of DNombre queued and not
  // started, giving up their blocks; returns the offset of the first one dropped, or -1.
  std::int64_t RetirarEscrituras(const std::u16string& DNombre);
  // Any thread: ends the worker's idle wait, so that work just queued starts at once.
  void Despertar() { IOCP->Nudge(); }
  // Hands a finished operation to this (source) worker to be destroyed.
  void AgregarLiberar(std::unique_ptr<TEspera> op);

  // Main thread, every timer tick: samples the position for the speed and finish time, or
  // keeps the error the worker is in.
  void OnTime();
  // Main thread: reads the drive's free space and has Capacidad rebuilt.
  void GetEspacioLibre();
  // Main thread: the drive is gone; the worker shows it from now on, whatever it did before.
  void MarcarQuitado();
  // Main thread: reads back the files a stick's manifest lists and compares each with its
  // fingerprint, copying nothing: the stick ends verified, or in error naming every file that
  // is missing or differs. False, doing nothing, while the worker is the source, in error, or
  // has work queued or under way.
  bool ComprobarManifiesto(std::vector<TRecibido> archivos);

  // Safe from any thread: everything the front ends show of this worker.
  TInstantanea GetInstantanea() const;

  // Published values, safe from any thread. Sizes that other threads round to this drive's
  // sectors use the identity the last refresh gave (GetAppRec): the worker adopts it only at the
  // end of its next turn, and totals and writes must agree from the first drop on.
  TVelocidad GetVelocidad() const;
  TCapacidad GetCapacidad() const;
  TEstado GetEstado() const { return Estado.load(std::memory_order_acquire); }
  THRec GetHRec() const;
  void SetAppRec(const THRec& rec);
  THRec GetAppRec() const;
  TMuestra GetMuestra() const;  // IOError's while in error, else the operation under way

  // Counters, read whole from any thread.
  std::int64_t GetDPos() const { return DPos.load(std::memory_order_relaxed); }
  std::int64_t GetDFin() const { return DFin.load(std::memory_order_relaxed); }
  std::int64_t GetEspacio() const { return EspacioLibre.load(std::memory_order_relaxed); }
  std::uint32_t GetLEC() const { return LEC.load(std::memory_order_relaxed); }
  std::int64_t GetReleido() const { return Releido.load(std::memory_order_relaxed); }
  // True after a turn that left nothing under way and nothing queued: the worker idles.
  bool EnReposo() const { return Reposo.load(std::memory_order_acquire); }
  // Turns of the loop so far (for tests and the status of a worker).
  std::uint64_t GetVueltas() const { return Vueltas.load(std::memory_order_relaxed); }

  // Main thread only. Orden: the worker's row at the last refresh, from 1 in the order of the
  // drives' names; 0 when that refresh did not find its drive.
  std::uint32_t Orden = 0;
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
  bool DesprenderRezagados();
  std::int64_t Desprender(TIdDestino id, const TLeerArchivo& lectura, std::int64_t desde,
                          bool abriendo, bool retirar);
  std::int64_t AtrasoDe(TIdDestino id) const;
  void CrearEspera();
  void ErrorOrigen();
  void ReintentarArchivo();
  void ErrorDestino();
  void FinSincronizacion();
  void RecibirArchivo(const TEspera& op, const THuella& huella);
  bool ComprobacionLista();
  void ContinuarComprobacion();
  void DecidirDiferentes();
  void Recopiar(const TRecibido& archivo);
  bool TrabajoCompleto() const;
  void EliminarDestinos();
  void ActualizarCapacidad();
  void PublicarMuestra();
  TEstado CalcularEstado(bool reposo) const;

  // Worker thread only, unless noted.
  const TIdDestino Id;
  std::shared_ptr<TEntorno> Entorno;        // immutable
  TDestinos Destinos;                       // on the source; locks itself
  TListaProtegida<std::unique_ptr<TFRec>> FList;
  TListaProtegida<std::int64_t> DFinList;
  THRec HRec;                               // written by the worker; others read a copy via Textos
  std::unique_ptr<TEspera> IOLast;
  std::unique_ptr<TEspera> IONext;
  std::unique_ptr<TEspera> IOError;
  platform::PortPtr IOCP;                   // immutable
  platform::Handle IOFile = platform::kInvalidHandle;
  TSesionDestino Sesion;                    // a destination's hold on its drive
  TComprobaciones Comprobacion;             // a destination's read-back of its job
  // Operations a destination has taken from its queue, and how many of them the sync asked
  // last and the one done last covered: the drive is done only when every one is synced.
  std::uint64_t Trabajos = 0;
  std::atomic<std::int64_t> RegistrosFin{0};  // records given to a destination
  std::int64_t RegistrosHechos = 0;           // records it finished
  std::uint64_t SincronizacionPedida = 0;
  std::atomic<std::uint64_t> Sincronizados{0};
  std::atomic<std::int64_t> DPos{0};        // written by the worker
  std::atomic<std::int64_t> Releido{0};     // written by the source worker
  std::atomic<std::int64_t> DFin{0};        // written by the worker
  std::atomic<std::int64_t> EspacioLibre{0};  // written by the main thread
  TVRec* VRec = nullptr;                    // main thread
  std::atomic<TPapel> Papel{TPapel::Ninguno};  // the continuation: written by the main thread
  std::atomic<std::uint32_t> LEC{0};        // written by the worker
  std::atomic<TDHilo*> OD{nullptr};         // written by the main thread
  std::shared_ptr<TDHilo> ODVida;           // keeps a destination's source alive
  TListaProtegida<std::unique_ptr<TEspera>> IOList;
  // The Cache of IOList's operations as they were queued; changed under IOList's lock.
  std::atomic<std::int64_t> CacheEnCola{0};
  TListaProtegida<std::unique_ptr<TEspera>> LiberarIOList;
  TListaProtegida<std::shared_ptr<TDHilo>> EliminarDestinosList;

  mutable std::mutex Textos;  // guards the published values below
  TVelocidad Velocidad;       // written by the main thread
  TCapacidad Capacidad;       // written by the worker
  THRec HRecVisible;          // the worker's HRec as others see it
  THRec AppRec;               // written by the main thread
  TMuestra MuestraLast;       // the operation under way
  TMuestra MuestraError;      // the operation that failed last

  platform::ThreadControl Hilo;
  std::atomic<bool> Terminado{false};
  std::atomic<std::uint64_t> Vueltas{0};
  std::atomic<bool> Reposo{false};
  // Guards each change of Estado with its event, so that listeners see the changes in order;
  // taken before the events' own lock.
  std::mutex CambioEstado;
  std::atomic<TEstado> Estado{TEstado::Reposo};  // written under CambioEstado
  std::atomic<bool> Quitado{false};               // written under CambioEstado
};

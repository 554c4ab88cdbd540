// A destination's read-back of its job, after the job is on the device: each file it received
// is opened from the drive's root without following links, read unbuffered (so that the page
// cache cannot answer for the device) on the worker's port with the same time-out as a write,
// and its fingerprint compared with the one the source read gave. Then the manifest is written
// under a temporary name, renamed and flushed.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "engine/OperacionesDestino.h"
#include "engine/TComprobaciones.h"
#include "engine/TEspera.h"

// One file's read-back, shared by its open, reads and close. The worker's state outlives every
// completion handler, which runs on the worker's thread.
//
// All of a job's reads share the worker's one block: the worker starts the next operation before
// it hands the last one its completion, so each read (and the close, for the last) first feeds
// the hash the bytes the read before it left in the block, and only then reads over them.
struct TComprobacionArchivo {
  TRecibido Recibido;
  TCalculoHuella Calculo;
  TFalla Falla = TFalla::Ninguna;  // Falta or Talla: nothing to read
  std::int64_t Leidos = 0;  // bytes of the file the block holds, not yet hashed
  TComprobaciones* Estado = nullptr;

  void CalcularLeidos();
};

class TOperacionComprobacion : public TEspera {
 public:
  bool Escribe() const override { return false; }
  bool Comprueba() const override { return true; }
  std::shared_ptr<TComprobacionArchivo> Archivo;
};

class TAbrirComprobacion : public TOperacionComprobacion {
 public:
  void ExeIO(TContextoIO& C) override;
};

class TLeerComprobacion : public TOperacionComprobacion {
 public:
  void ExeIO(TContextoIO& C) override;
  // A copy that ends before its planned size differs from the source: the read comes short.
  std::int64_t BytesEsperados() const override { return std::min(Leer, FTalla - FPos); }
  platform::ErrorCode ErrorCorta() const override { return platform::ERROR_HANDLE_EOF; }
  std::int64_t Leer = 0;  // whole sectors of the drive
};

class TCerrarComprobacion : public TOperacionComprobacion {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;
};

// The start of a check against a stick's manifest: each file it lists is measured on the stick
// (a missing one is found by its open), so that its read-back can be planned; then the worker's
// read-back takes them as the files of a job.
class TMedirComprobacion : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override;
  bool Escribe() const override { return false; }
  bool Comprueba() const override { return true; }
  std::vector<TRecibido> Archivos;
  TComprobaciones* Estado = nullptr;
};

// Fails the stick with ERROR_CRC, naming the first file that differed again after its copy
// was made anew.
class TFallarComprobacion : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  bool Escribe() const override { return false; }
  bool Comprueba() const override { return true; }
};

// Writes the manifest's text under its temporary name, then renames it and flushes the drive.
class TEscribirManifiesto : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  std::int64_t BytesEsperados() const override { return static_cast<std::int64_t>(Texto.size()); }
  platform::ErrorCode ErrorCorta() const override { return platform::ERROR_DISK_FULL; }
  bool Escribe() const override { return false; }
  std::string Texto;
};

class TCerrarManifiesto : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  void OnExeIO() override { Estado->ManifiestoEscrito = true; }
  std::uint32_t Plazo(platform::Env& env, std::uint32_t tiempo_error) const override {
    return PlazoVaciado(env, tiempo_error);
  }
  bool Escribe() const override { return false; }
  TComprobaciones* Estado = nullptr;
};

// The block the read-backs share, from the pool: false while it has none to lend, to be asked
// again on a later turn.
bool ReservarBloque(const std::shared_ptr<TPoolBloques>& pool, std::int64_t MemoriaLibre,
                    TComprobaciones& estado);

// Appends to `cola` the read-backs of the next received files, a few at a time (planned at once,
// twenty thousand small files held 190 MiB of operations), and counts them under way in
// `estado`; the whole read-back counts in its progress from the first call on.
void PlanearTanda(std::uint32_t SectorSize, TComprobaciones& estado,
                  std::deque<std::unique_ptr<TEspera>>& cola);

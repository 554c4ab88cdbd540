// What a destination worker keeps to read its job back: the files that reached their final
// name since the last read-back, with the fingerprint the source read gave them, and how each
// read-back ended. A stick is called verified only when every one of them was read back from
// the device and matched.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/PoolBloques.h"
#include "records/Huella.h"
#include "records/TFTiempo.h"

// What a read-back found wrong with a file.
enum class TFalla : std::uint8_t {
  Ninguna,
  Falta,      // not on the stick
  Talla,      // of another size than the source's
  Contenido,  // its bytes differ
};

// A file a destination received in the current job, or one a stick's manifest lists.
struct TRecibido {
  std::u16string ONombre;
  std::u16string DNombre;
  std::int64_t Talla = 0;
  std::uint32_t Atributos = 0;
  TFTiempo Tiempo;
  THuella Huella;
  TFalla Falla = TFalla::Ninguna;  // what its last read-back found
};

// A file that failed its read-back, as the front ends name it.
struct TArchivoFallido {
  std::u16string Nombre;
  TFalla Falla = TFalla::Contenido;
  bool operator==(const TArchivoFallido&) const = default;
};

// The worker's thread only, except the atomics and what Publicado guards.
struct TComprobaciones {
  TComprobaciones() = default;
  ~TComprobaciones() { DevolverBloque(); }
  TComprobaciones(const TComprobaciones&) = delete;
  TComprobaciones& operator=(const TComprobaciones&) = delete;

  // Final name given, not yet read back; the read-back takes them from the front in batches.
  std::deque<TRecibido> Recibidos;
  std::size_t Contados = 0;  // the first Recibidos, whose bytes Fin counts already
  std::vector<TRecibido> Comprobados;  // read back and matched in this job
  std::vector<TRecibido> Diferentes;   // read back and differing, not yet copied again
  std::set<std::u16string> Recopiados;  // DNombre of the files copied again once in this job
  int EnCurso = 0;                      // read-backs queued whose result has not come
  // A check of what the stick already holds against its manifest: nothing is copied again and
  // the manifest is left as it is.
  bool SoloComprobar = false;
  bool ManifiestoPedido = false;
  bool ManifiestoEscrito = false;
  // The one block every read-back of the job reads into, in turn; taken from the pool of the
  // source's blocks when the read-back starts, and given back with the job.
  void* Buffer = nullptr;
  std::shared_ptr<TPoolBloques> Pool;  // Buffer's lender

  // Bytes read back and to read back in this job; whether the last job ended verified.
  std::atomic<std::int64_t> Pos{0};
  std::atomic<std::int64_t> Fin{0};
  std::atomic<std::int64_t> Archivos{0};  // files the job gave their final name
  std::atomic<bool> Verificado{false};

  // Whether anything of the job's read-back or manifest is left to do.
  bool Pendiente() const {
    return !Recibidos.empty() || EnCurso > 0 || !Diferentes.empty() || !Comprobados.empty() ||
           !Recopiados.empty();
  }
  void Empezar() {
    Pos.store(0, std::memory_order_relaxed);
    Fin.store(0, std::memory_order_relaxed);
    Archivos.store(0, std::memory_order_relaxed);
    Verificado.store(false, std::memory_order_release);
    SetFallidos({});
  }
  // Forgets the job (a failure, or its end); the published list of bad files stays.
  void Olvidar() {
    Recibidos.clear();
    Contados = 0;
    Comprobados.clear();
    Diferentes.clear();
    Recopiados.clear();
    EnCurso = 0;
    SoloComprobar = false;
    ManifiestoPedido = false;
    ManifiestoEscrito = false;
    DevolverBloque();
  }
  // A read abandoned after a time-out keeps the block out of the pool until it ends.
  void DevolverBloque() {
    if (Pool) Pool->Devolver(Buffer);
    Buffer = nullptr;
    Pool = nullptr;
  }

  // The files that differed twice (or once, in a check), for the front ends.
  std::vector<TArchivoFallido> GetFallidos() const {
    std::lock_guard<std::mutex> lock(Publicado);
    return Fallidos;
  }
  void SetFallidos(std::vector<TArchivoFallido> fallidos) {
    std::lock_guard<std::mutex> lock(Publicado);
    Fallidos = std::move(fallidos);
  }

 private:
  mutable std::mutex Publicado;  // taken alone
  std::vector<TArchivoFallido> Fallidos;
};

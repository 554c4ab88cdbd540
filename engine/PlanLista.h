// Planning an opened copy list: which of its records are still to be copied, to which of the
// drives present now, with the size and times the source has now rather than those the list was
// saved with. Nothing is queued here; the program queues what this returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "records/ArchivoLista.h"
#include "records/TFRec.h"

// A drive present now: its volume serial, its mount point and the identity of its worker.
struct TVolumenLista {
  std::uint32_t Serie = 0;
  std::string Montaje;
  TIdDestino Id = 0;
};

struct TPlanLista {
  bool OrigenPresente = false;  // a present drive has the list's source serial
  TIdDestino IdOrigen = 0;  // the source's worker
  // The records still to copy, in the list's order, each with at least one destination.
  std::vector<std::unique_ptr<TFRec>> Registros;
  // Records refused: by the file's own checks (names, sizes), or whose source lies outside the
  // source's volume or is no file or folder (a link out of it, a FIFO, a device).
  std::int64_t Rechazados = 0;
  // Records whose source is gone (or cannot be read) now; the first few names are kept.
  std::int64_t Faltantes = 0;
  std::vector<std::u16string> PrimerosFaltantes;
  bool Danada = false;  // the list ends before its count, or its count is negative
};

inline constexpr std::size_t kMuestraFaltantes = 5;

// `volumenes` holds every present drive, sorted by serial. A destination is given to a record
// when it is present, is not the source, and does not hold the entry yet (ArchivoIgualEn, from a
// handle of its root, against the source's current size and time). `progreso` (may be empty) is called after each record
// with the records done and their total.
TPlanLista PlanearLista(platform::Env& env, const TListaCopiaLeida& lista,
                        const std::vector<TVolumenLista>& volumenes,
                        const std::function<void(std::int64_t, std::int64_t)>& progreso);

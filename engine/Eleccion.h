// The source's choice of the next record and the split of destinations that lag behind, weighed
// in block-buffer bytes queued on each destination (its backlog) against a memory budget.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/TEntorno.h"
#include "records/TFRec.h"

// Half of what the block pool may lend in this job, so that a destination that lags by the
// budget still leaves the other half to the rest.
std::int64_t Presupuesto(TEntorno& entorno);

// How far the source reads ahead of the destinations that keep up: a read whose destinations
// all have this much queued, or the budget B if less, waits. Blocks read further ahead would
// only wait in the queues, and each block the pool maps for the first time costs a clearing of
// its pages (about a seventh of the engine's CPU in a copy to four sticks, with the whole pool
// read ahead).
std::int64_t Adelanto(std::int64_t B);

// A destination's backlog: block-buffer bytes queued on it and not started (0 for one gone).
using TAtraso = std::function<std::int64_t(TIdDestino)>;

// Whether a destination's backlog is below B, each destination asked for once: the records are
// thousands, their destinations a few, and asking takes the destinations' locks.
class TDebajoDe {
 public:
  TDebajoDe(std::int64_t B, TAtraso atraso) : B_(B), atraso_(std::move(atraso)) {}
  bool operator()(TIdDestino DH);

 private:
  const std::int64_t B_;
  const TAtraso atraso_;
  std::vector<std::pair<TIdDestino, bool>> vistos_;
};

// The lowest position whose first destination's backlog is below B; else the lowest with any
// destination below B, so that a first destination far behind on every record does not keep
// the others waiting (it is detached from the file once it is read, Rezagados); 0 when none is.
std::size_t ElegirPosicion(const std::deque<std::unique_ptr<TFRec>>& registros, std::int64_t B,
                           const TAtraso& atraso);

// The destinations of the file being read to detach from it: each whose backlog exceeds the
// lowest backlog among the file's destinations by B or more. The file's only destination goes
// once its backlog reaches B while `espera_otro`, another destination waiting for the source.
// None with B of 0: then the pool has no block to spare for anyone.
std::vector<TIdDestino> Rezagados(const std::vector<TIdDestino>& DList, std::int64_t B,
                                  const TAtraso& atraso, bool espera_otro);

// Takes out of R, into a new record, the destinations after the first that are further behind
// the reference backlog than B or than the blocks R's file will hold; nullptr when none is. The new record lists
// them in the reverse of their order in R.
std::unique_ptr<TFRec> SepararRezagados(TFRec& R, std::int64_t B, const TAtraso& atraso);

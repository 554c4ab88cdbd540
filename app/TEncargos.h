// The work the program handed to the source in this run: every record queued by a drop or an
// opened copy list, with the volume serials of the destinations it was queued for. A saved copy
// list is made from it together with the source's queue, so that it holds the work still to do
// on each destination, records the source has already taken from its queue (under way, or
// failed on a stick) included, and reopening it after a restart finishes the job. Records are
// known by their ONombre in name order, as the drop merges them. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "records/TFRec.h"

class TEncargos {
 public:
  struct TEncargo {
    TFRec Rec;                          // names, size, times, attributes; no DList
    std::vector<std::uint32_t> Series;  // destinations still to be served, in the order given
  };

  // The destination with serial `serie` was given the record.
  void Agregar(const TFRec& rec, std::uint32_t serie);
  // Nothing is left to do for that destination: of one entry (its copies were cancelled, or it
  // holds the entry now), or of any (a cancelled drive).
  void Quitar(const std::u16string& ONombre, std::uint32_t serie);
  void Quitar(std::uint32_t serie);

  // In the order records were first handed over; entries left with no destination are gone.
  std::vector<const TEncargo*> Lista() const;
  const TEncargo* Buscar(const std::u16string& ONombre) const;
  bool Vacio() const { return porNombre_.empty(); }

 private:
  struct TOrden {
    bool operator()(const std::u16string& a, const std::u16string& b) const {
      return CompararNombres(a, b) < 0;
    }
  };
  void Limpiar(const std::u16string& ONombre);
  void Compactar();

  std::deque<TEncargo> encargos_;  // in the order handed over; emptied ones until Compactar
  std::map<std::u16string, std::size_t, TOrden> porNombre_;  // ONombre -> index in encargos_
  std::size_t vacios_ = 0;  // emptied entries still in encargos_
};

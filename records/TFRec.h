// One source file or folder still to be copied, with the destinations that need it: plain data,
// with its list operations and the file form of its source part.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "records/Codificacion.h"
#include "records/Huella.h"
#include "records/TFTiempo.h"
#include "platform/env.h"

// A destination worker's identity in this run: handed out when the worker is made, never reused.
// Records and operations name their destinations by it, and reach a worker only through the
// source's table of destinations, so that a drive cancelled or gone is never reached again.
using TIdDestino = std::uint64_t;

class TFRec {
 public:
  // Appends FR's destinations, in order, without a duplicate test.
  void AgregarDestinos(const TFRec& FR);
  bool EncontrarDestino(TIdDestino DH) const;
  // Removes the last occurrence of DH; true when it was there.
  bool EliminarDestino(TIdDestino DH);
  // Moves DH to the front; true when it was there.
  bool PriorizarDH(TIdDestino DH);
  // What is still to be written of it: Talla rounded up to whole sectors, less Desde.
  std::int64_t DTalla(std::uint32_t SectorSize) const;

  // The source part (name, size, times, attributes), as the listing and copy-list files hold
  // it; the whole record of a copy list is written and read by the engine (RegistroCopia.h),
  // which knows the destinations' identities.
  void EscribirOrigen(std::string& SM) const;
  bool LeerOrigen(TLector& SM);  // leaves DNombre and DList alone

  std::vector<TIdDestino> DList;  // destinations in priority order
  std::u16string ONombre;         // relative to the source drive's root
  std::u16string DNombre;         // relative to each destination drive's root
  std::int64_t Talla = 0;
  std::uint32_t Atributos = 0;
  TFTiempo Tiempo;
  // Bytes its destinations already have, a multiple of the block size: a file whose copy was
  // suspended on a lagging destination resumes there (0: the copy starts anew).
  std::int64_t Desde = 0;
  // With Desde: the fingerprint the file's first read took, which the rest read goes on with,
  // so that the copy is checked against the whole file.
  std::shared_ptr<TCalculoHuella> Huella;
};

// Name order: UTF-16 code units compared with only ASCII letters folded to upper case.
int CompararNombres(const std::u16string& a, const std::u16string& b);
// Bisection in a list sorted in name order: the first record with that name, or nullptr.
TFRec* EncontrarFR(const std::deque<std::unique_ptr<TFRec>>& L, const std::u16string& nombre);
void OrdenarPorNombre(std::deque<std::unique_ptr<TFRec>>& L);

// Whether a destination already holds an entry: a folder, or a file of the same size whose
// last-write time is the same to the minute. Looked at from a handle of its root
// (Env::OpenVolumeRoot), links not followed: a link standing at the name is no file, so nothing
// outside the stick is looked at. False for an invalid root (a drive unmounted meanwhile).
bool ArchivoIgualEn(platform::Env& env, platform::Handle raiz, const std::u16string& relativo,
                    platform::FileTime T, std::int64_t S);

// One source file or folder still to be copied, with the destination workers that need it, and
// its planning into the chain of source-side operations that copies it.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "FUnit/Codificacion.h"
#include "IOUnit/TEspera.h"

class TDHilo;
class TAbrirCarpeta;
class TLeerArchivo;

class TFRec {
 public:
  // Appends FR's destinations, in order, without a duplicate test.
  void AgregarDestinos(const TFRec& FR);
  bool EncontrarDestino(TDHilo* DH) const;
  // Removes the last occurrence of DH; true when it was there.
  bool EliminarDestino(TDHilo* DH);
  // Moves DH to the front; true when it was there.
  bool PriorizarDH(TDHilo* DH);
  // Talla rounded up to whole sectors.
  std::int64_t DTalla(std::uint32_t SectorSize) const;
  // Adds the rounded size to every destination's work total (not the source's).
  void AddDFin() const;

  // The source part (name, size, times, attributes) and the whole record (with the destination
  // name and the destinations' volume serials), as the listing and copy-list files hold them.
  void EscribirOrigen(std::string& SM) const;
  bool LeerOrigen(TLector& SM);  // leaves DNombre and DList alone
  void EscribirTodo(std::string& SM) const;
  // Reads a whole record and gives it the workers of DL (sorted by serial) that are present
  // and do not hold the entry yet; *con_destinos tells whether any was given. False on a read
  // failure.
  bool LeerTodo(TLector& SM, const std::vector<TDHilo*>& DL, bool* con_destinos);

  // Appends the chain that copies this entry to every destination at the end of IOL, which the
  // caller holds locked. OD is the source worker.
  void LlenarIOList(const TDHilo& OD, std::deque<std::unique_ptr<TEspera>>& IOL) const;
  std::unique_ptr<TAbrirCarpeta> IOCarpeta() const;
  std::unique_ptr<TAbrirCarpeta> IOArchivoVacio() const;
  std::unique_ptr<TAbrirCarpeta> IOAbrirArchivo() const;
  std::unique_ptr<TLeerArchivo> IOLeerArchivo(const TDHilo& OD, std::int64_t& OPos) const;
  std::unique_ptr<TAbrirCarpeta> IOCerrarArchivo() const;

  std::vector<TDHilo*> DList;  // destinations in priority order; never owned
  std::u16string ONombre;      // relative to the source drive's root
  std::u16string DNombre;      // relative to each destination drive's root
  std::int64_t Talla = 0;
  std::uint32_t Atributos = 0;
  TFTiempo Tiempo;

 private:
  template <class T>
  std::unique_ptr<T> Operacion() const;
};

// Name order: UTF-16 code units compared with only ASCII letters folded to upper case.
int CompararNombres(const std::u16string& a, const std::u16string& b);
// Bisection in a list sorted in name order: the first record with that name, or nullptr.
TFRec* EncontrarFR(const std::deque<std::unique_ptr<TFRec>>& L, const std::u16string& nombre);
void OrdenarPorNombre(std::deque<std::unique_ptr<TFRec>>& L);

// Whether a drive already holds an entry: a folder, or a file of the same size whose last-write
// time is the same to the minute.
bool ArchivoIgual(const std::u16string& Path, platform::FileTime T, std::int64_t S);

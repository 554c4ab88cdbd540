// Destination-side operations: they make the copy on their worker's drive, in the order the
// source queued them, one at a time.
#pragma once

#include "engine/TEspera.h"

// Creates a folder with every missing folder above it, with the source's times and attributes.
class TCrearCarpeta : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;

 protected:
  std::u16string RutaDestino(const std::string& Montaje) const;
  std::u16string CarpetaDestino(const std::string& Montaje) const;
};

class TCrearArchivoVacio : public TCrearCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Creates the copy exclusively and unbuffered, sized at once to whole sectors, bound to the
// worker's port; it stays open in IOFile until the file is closed.
class TCrearArchivo : public TCrearCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Writes one block from the shared buffer at the block's offset.
class TEscribirArchivo : public TCrearCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Cuts the copy to its true size and gives it the source's times, then its attributes, so that
// a read-only copy is finished too.
class TCerrarArchivoCreado : public TCrearCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Closes a copy whose source failed and deletes it: a partly written file of full length must
// not survive looking complete. The retry creates it anew.
class TCerrarArchivoIncompleto : public TCrearCarpeta {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Destination-side operations: they make the copy on their worker's drive, in the order the
// source queued them, one at a time. Every path is reached from the handle of the drive's root
// (TSesionDestino), so nothing a stick holds can lead a write elsewhere; every step that fails
// fails the operation with its error code at once, so the stick shows it on its row.
#pragma once

#include <algorithm>

#include "engine/TEspera.h"

// Creates a folder with every missing folder above it, with the source's times and attributes.
class TCrearCarpeta : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  bool CierraRegistro() const override { return true; }
};

// Creates the copy under its temporary name, exclusively, bound to the worker's port; it stays
// open in IOFile until the file is closed. A file of a block or more is written unbuffered and
// sized at once to its length.
// An empty file is closed at once (TCerrarArchivoCreado's work follows in the same step).
class TCrearArchivo : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
};

class TCrearArchivoVacio : public TCrearArchivo {
 public:
  void ExeIO(TContextoIO& C) override;
  bool CierraRegistro() const override { return true; }
  const THuella* HuellaCopia() const override { return &Huella; }
  THuella Huella;
};

// Writes one block from the shared buffer at the block's offset, the last one with the file's
// exact bytes. BufBytes stays in whole sectors: the progress counts what the totals count.
class TEscribirArchivo : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  std::int64_t BytesEsperados() const override { return std::min(BufBytes, FTalla - FPos); }
  platform::ErrorCode ErrorCorta() const override { return platform::ERROR_DISK_FULL; }
};

// Gives the copy the source's times and attributes, closes it and gives it its final name.
class TCerrarArchivoCreado : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  bool CierraRegistro() const override { return true; }
  const THuella* HuellaCopia() const override { return &Huella; }
  THuella Huella;
};

// Closes a copy whose source failed and deletes it; the retry creates it anew.
class TCerrarArchivoIncompleto : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Closes the copy under way and keeps it under its temporary name: the source detached this
// drive from the file, which is read again for it from where its writes stopped.
class TSuspenderArchivo : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
};

// Opens a suspended copy again, unbuffered and bound to the worker's port, for the rest of it.
class TReanudarArchivo : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
};

// The wait for a drive's flush: the answer time, and a second more for every megabyte the machine
// has yet to write (a slow stick given many small files may hold much of it, and its flush takes
// as long as it takes to write), at most an hour.
std::uint32_t PlazoVaciado(platform::Env& env, std::uint32_t tiempo_error);

// The end of a job on a drive: everything written goes to the device, and only then is the
// drive done.
class TSincronizar : public TEspera {
 public:
  void ExeIO(TContextoIO& C) override;
  std::uint32_t Plazo(platform::Env& env, std::uint32_t tiempo_error) const override {
    return PlazoVaciado(env, tiempo_error);
  }
};

// Ends an operation that failed: its packet reports the thread's last error now, instead of the
// worker's wait running out.
void Fallar(TContextoIO& C);
// Closes the operation's file, if one is open; a close that fails cancels what is still under
// way on it.
void CerrarArchivo(TContextoIO& C);
// Fallar for an operation with its file open: the file is closed first, and the error that
// failed the operation is the one reported.
void FallarAbierto(TContextoIO& C);
// The drive's root, opened and bound to the worker's port the first time a job needs it.
bool AbrirRaiz(TContextoIO& C);
// Deletes a regular file of ours below the root, read-only or not.
void BorrarArchivo(platform::Env& env, platform::Handle raiz, const std::u16string& ruta);
// The last name of a path below the root.
std::u16string Hoja(const std::u16string& DNombre);
// With the root open: the handle the names of DNombre's folder are reached from, to read what
// is there: the root, or the folder kept open since the last file there (the files of a folder
// come one after the other). kInvalidHandle with the error when the folder cannot be opened;
// one that is not there is ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
platform::Handle CarpetaExistente(TContextoIO& C, const std::u16string& DNombre);

// Closes the copy under way, if any, and deletes it and every suspended copy: a stick that
// failed, was cancelled or is left keeps no part of a file. Then lets go of the drive's root.
void AbandonarSesion(platform::Env& env, platform::Handle& IOFile, TSesionDestino& sesion);

// Planning a record into the chain of source-side operations that copies it to every one of its
// destinations.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "engine/OperacionesOrigen.h"
#include "records/TFRec.h"

class TDHilo;

// Appends the chain that copies FR to every destination at the end of IOL, which the caller
// holds locked. OD is the source worker.
void LlenarIOList(const TFRec& FR, const TDHilo& OD, std::deque<std::unique_ptr<TEspera>>& IOL);
std::unique_ptr<TAbrirCarpeta> IOCarpeta(const TFRec& FR, const TDHilo& OD);
std::unique_ptr<TAbrirCarpeta> IOArchivoVacio(const TFRec& FR, const TDHilo& OD);
std::unique_ptr<TAbrirCarpeta> IOAbrirArchivo(const TFRec& FR, const TDHilo& OD);
std::unique_ptr<TLeerArchivo> IOLeerArchivo(const TFRec& FR, const TDHilo& OD,
                                            std::int64_t& OPos);
std::unique_ptr<TCerrarArchivo> IOCerrarArchivo(const TFRec& FR, const TDHilo& OD);
// A new record, with no destinations, of the entry an operation works on: the way back from a
// chain to its record, for a file read again.
std::unique_ptr<TFRec> RegistroDe(const TEspera& op);

// The parts of a record that name its destination workers: the whole record of a copy list and
// the work totals a queued record adds.
#pragma once

#include <string>
#include <vector>

#include "records/ArchivoLista.h"
#include "records/Codificacion.h"
#include "records/TFRec.h"

class TDHilo;

// Adds the record's rounded size to the work total of every destination of the source OD that
// is still in its table (not to the source's).
void AddDFin(const TFRec& FR, const TDHilo& OD);

// The whole record: the source part, the destination name and the serials of the destinations
// of the source OD that are still in its table.
void EscribirTodo(const TFRec& FR, const TDHilo& OD, std::string& SM);

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
// Reads a whole record and gives it the workers of DL (sorted by serial) that are present and
// do not hold the entry yet; *con_destinos tells whether any was given. A record whose names
// could leave their volume or whose size is impossible is read and given none. False on a read
// failure.
bool LeerTodo(platform::Env& env, TFRec& FR, TLector& SM, const std::vector<TDHilo*>& DL,
              bool* con_destinos);

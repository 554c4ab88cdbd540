// The machine-readable status, GET /status.json: the program, its version and every drive of
// the device list with where it stands, built from the workers' snapshots on the HTTP server's
// threads. It only reads.
#pragma once

#include <string>

#include "app/TPrograma.h"

// One JSON object (UTF-8): "program", "version" (the date it stands for, "2016-08-06"), "time"
// (now, ISO 8601 with the offset) and "drives", in the order of P.DList, each with "letter",
// "label", "serial", "mount", "role" and the members of CamposProgreso (app/UnidadJson.h).
std::string EstadoDispositivosJson(TPrograma& P);

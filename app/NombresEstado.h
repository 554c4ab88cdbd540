// The names of a worker's states (engine/TEventos.h): one for machines, written in JSON, and one
// for the user, shown on the terminal.
#pragma once

#include <string>

#include "engine/TEventos.h"

// "idle", "queued", "writing", "syncing", "verifying", "done", "failed", "removed".
const char* EstadoJson(TEstado estado);
// "en reposo", "en cola", "escribiendo", "sincronizando", "terminado", "fallido", "quitado".
std::u16string EstadoTexto(TEstado estado);

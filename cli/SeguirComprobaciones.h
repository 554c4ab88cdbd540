// The sticks a verify command checks, followed until each has left its read-back (verified, or
// in error), its drive has gone, or a signal ends the wait.
#pragma once

#include <memory>
#include <vector>

#include "cli/ProgramaCli.h"
#include "cli/Senales.h"
#include "engine/TDHilo.h"
#include "engine/TFinComprobaciones.h"

struct TComprobado {
  std::shared_ptr<TDHilo> Hilo;
  THRec Rec;          // the identity the refresh gave it when the check began
  TInstantanea Foto;  // taken when the check ended, or when the wait did
  bool Acabado = false;
};

// Follows the checks already asked of `comprobados` (TPrograma::ComprobarUnidades), with the
// program's timer ticking so that a stick pulled meanwhile is seen gone. `finales` listened to
// the events since before the checks were asked: a short check may end at once. The signal that
// ended the wait, 0 when every check ended. Each read of a check has the worker's time-out, so a
// stick that stops answering ends in error and the wait ends.
int SeguirComprobaciones(TProgramaCli& cli, TSenales& senales, TFinComprobaciones& finales,
                         std::vector<TComprobado>& comprobados);

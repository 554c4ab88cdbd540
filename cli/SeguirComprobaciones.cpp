#include "cli/SeguirComprobaciones.h"

#include <poll.h>

#include <algorithm>

int SeguirComprobaciones(TProgramaCli& cli, TSenales& senales, TFinComprobaciones& finales,
                         std::vector<TComprobado>& comprobados) {
  TPrograma& P = cli.Programa();
  const int intervalo = static_cast<int>(std::max(50u, P.Entorno->IntervaloTimer.load()));
  for (;;) {
    bool todos = true;
    for (TComprobado& c : comprobados) {
      if (c.Acabado) continue;
      c.Foto = c.Hilo->GetInstantanea();
      // An error or a removal may come without the read-back's state ever being seen.
      c.Acabado = finales.Acabado(c.Hilo.get()) || c.Foto.LEC != 0 ||
                  c.Foto.Estado == TEstado::Fallido || c.Foto.Estado == TEstado::Quitado;
      // Taken again: the end may have come after the snapshot above.
      if (c.Acabado) c.Foto = c.Hilo->GetInstantanea();
      todos = todos && c.Acabado;
    }
    if (todos) return 0;
    pollfd fd = {senales.Descriptor(), POLLIN, 0};
    if (poll(&fd, 1, intervalo) > 0 && (fd.revents & POLLIN) != 0) {
      if (const int senal = senales.Tomar(); senal != 0) {
        for (TComprobado& c : comprobados) {
          if (!c.Acabado) c.Foto = c.Hilo->GetInstantanea();
        }
        return senal;
      }
    }
    P.TimerVTimer();
  }
}

#include "web/EstadoJson.h"

#include <shared_mutex>

#include "app/FechaIso.h"
#include "app/UnidadJson.h"

std::string EstadoDispositivosJson(TPrograma& P) {
  // The copy keeps every worker alive while it is read, whatever the main thread does to DList
  // meanwhile.
  std::vector<std::shared_ptr<TDHilo>> hilos;
  {
    std::shared_lock<std::shared_mutex> lock(P.SincronizadorListas);
    hilos = P.DList;
  }
  std::string unidades = "[";
  for (const auto& hilo : hilos) {
    const TInstantanea foto = hilo->GetInstantanea();
    TObjetoJson unidad;
    CamposUnidad(unidad, foto.HRec);
    unidad.Ascii("role", PapelJson(*hilo));
    CamposProgreso(unidad, foto);
    if (unidades.size() > 1) unidades.push_back(',');
    unidades += unidad.Texto();
  }
  unidades.push_back(']');
  return TObjetoJson()
      .Texto("program", NombrePrograma())
      .Ascii("version", FechaIso(P.AppVersion))
      .Ascii("time", FechaHoraIso(P.Entorno->Env->Now()))
      .Json("drives", unidades)
      .Texto();
}

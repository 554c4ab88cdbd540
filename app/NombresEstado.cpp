#include "app/NombresEstado.h"

const char* EstadoJson(TEstado estado) {
  switch (estado) {
    case TEstado::Reposo:
      return "idle";
    case TEstado::EnCola:
      return "queued";
    case TEstado::Escribiendo:
      return "writing";
    case TEstado::Sincronizando:
      return "syncing";
    case TEstado::Verificando:
      return "verifying";
    case TEstado::Terminado:
      return "done";
    case TEstado::Fallido:
      return "failed";
    case TEstado::Quitado:
      return "removed";
  }
  return "unknown";
}

std::u16string EstadoTexto(TEstado estado) {
  switch (estado) {
    case TEstado::Reposo:
      return u"en reposo";
    case TEstado::EnCola:
      return u"en cola";
    case TEstado::Escribiendo:
      return u"escribiendo";
    case TEstado::Sincronizando:
      return u"sincronizando";
    case TEstado::Verificando:
      return u"verificando";
    case TEstado::Terminado:
      return u"terminado";
    case TEstado::Fallido:
      return u"fallido";
    case TEstado::Quitado:
      return u"quitado";
  }
  return u"desconocido";
}

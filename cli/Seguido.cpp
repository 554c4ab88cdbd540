#include "cli/Seguido.h"

#include "platform/locale.h"

const char* ResultadoJson(TResultado resultado) {
  switch (resultado) {
    case TResultado::Terminado:
      return "done";
    case TResultado::Fallido:
      return "failed";
    case TResultado::Quitado:
      return "removed";
    case TResultado::Cancelado:
      return "cancelled";
    case TResultado::EnCurso:
      break;
  }
  return "unfinished";
}

std::u16string ResultadoTexto(TResultado resultado) {
  switch (resultado) {
    case TResultado::Terminado:
      return u"terminado";
    case TResultado::Fallido:
      return u"fallido";
    case TResultado::Quitado:
      return u"quitado";
    case TResultado::Cancelado:
      return u"cancelado";
    case TResultado::EnCurso:
      break;
  }
  return u"sin terminar";
}

std::string NombreUnidad(const THRec& rec) {
  return platform::ToUtf8(rec.Nombre + u" (" + rec.Letra + u")");
}

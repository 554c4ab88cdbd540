#include "cli/Salida.h"

#include "app/TextoError.h"
#include "app/UnidadJson.h"
#include "cli/Senales.h"
#include "platform/locale.h"

int EstadoCopia(const std::vector<TSeguido>& destinos, int senal, bool origen_perdido) {
  if (senal != 0) return EstadoPorSenal(senal);
  if (origen_perdido) return kSalidaFallo;
  for (const TSeguido& d : destinos) {
    if (d.Resultado != TResultado::Terminado || d.Expulsado == TExpulsado::Fallo) {
      return kSalidaFallo;
    }
  }
  return kSalidaBien;
}

void InformarFallos(std::FILE* salida, const std::vector<TSeguido>& destinos) {
  for (const TSeguido& d : destinos) {
    const std::string quien = "orsanta-cli: " + platform::ToUtf8(d.Rec.Nombre) + " (" +
                              platform::ToUtf8(d.Rec.Letra) + ", serie " + SerieTexto(d.Rec.ID) +
                              ", " + d.Rec.Montaje + "): ";
    std::string linea;
    switch (d.Resultado) {
      case TResultado::Fallido:
        linea = quien + "fallido " + platform::ToUtf8(TextoError(d.Error));
        if (!d.Archivo.empty()) linea += " en " + platform::ToUtf8(NombreConBarras(d.Archivo));
        break;
      case TResultado::Quitado:
        linea = quien + "quitado antes de terminar";
        break;
      default:
        break;
    }
    if (d.Expulsado == TExpulsado::Fallo) {
      if (!linea.empty()) linea += "\n";
      linea += quien + "no se pudo expulsar " + platform::ToUtf8(TextoError(d.ErrorExpulsion));
    }
    if (!linea.empty()) std::fprintf(salida, "%s\n", linea.c_str());
  }
  std::fflush(salida);
}

void Avisar(const std::string& texto) {
  std::fprintf(stderr, "orsanta-cli: %s\n", texto.c_str());
  std::fflush(stderr);
}

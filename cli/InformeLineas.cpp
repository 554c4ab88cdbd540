// Plain lines, each with the time it was written, for an output that is no terminal (a log, a
// pipe): the start, every state change and error, the progress of each worker that moves every
// five seconds, the ejects and the end.
#include <chrono>

#include "app/FechaIso.h"
#include "app/NombresEstado.h"
#include "app/TextoError.h"
#include "app/UnidadJson.h"
#include "cli/Informe.h"
#include "cli/Senales.h"
#include "cli/TextoProgreso.h"
#include "platform/locale.h"

namespace {

using Reloj = std::chrono::steady_clock;
constexpr auto kCadaProgreso = std::chrono::seconds(5);

class TInformeLineas final : public TInforme {
 public:
  explicit TInformeLineas(std::FILE* salida) : salida_(salida) {}

  void Inicio(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    Linea("origen " + NombreUnidad(origen.Rec) + " en " + origen.Rec.Montaje);
    for (const TSeguido& d : destinos) {
      Linea("destino " + NombreUnidad(d.Rec) + ", serie " + SerieTexto(d.Rec.ID) + ", en " +
            d.Rec.Montaje);
    }
    proximo_ = Reloj::now() + kCadaProgreso;
  }

  void CambioEstado(const TSeguido& seguido, TEstado antes, TEstado ahora) override {
    Linea(NombreUnidad(seguido.Rec) + ": " + platform::ToUtf8(EstadoTexto(antes)) + " -> " +
          platform::ToUtf8(EstadoTexto(ahora)));
  }

  void Error(const TSeguido& seguido) override {
    const std::u16string& archivo =
        seguido.EsOrigen ? seguido.Foto.Muestra.ONombre : seguido.Foto.Muestra.DNombre;
    std::string linea = NombreUnidad(seguido.Rec) + ": error " +
                        platform::ToUtf8(TextoError(seguido.Foto.LEC));
    if (!archivo.empty()) linea += " en " + platform::ToUtf8(NombreConBarras(archivo));
    Linea(linea);
  }

  void Tic(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    const auto ahora = Reloj::now();
    if (ahora < proximo_) return;
    proximo_ = ahora + kCadaProgreso;
    Progreso(origen);
    for (const TSeguido& d : destinos) {
      if (d.Resultado == TResultado::EnCurso) Progreso(d);
    }
  }

  void Expulsion(const TSeguido& seguido) override {
    Linea(NombreUnidad(seguido.Rec) + ": " +
          (seguido.Expulsado == TExpulsado::Si
               ? std::string("expulsado")
               : "no se pudo expulsar " + platform::ToUtf8(TextoError(seguido.ErrorExpulsion))));
  }

  void Cancelacion(int senal) override {
    Linea(std::string("cancelado por ") + NombreSenal(senal));
  }

  void Resumen(const TSeguido&, const std::vector<TSeguido>& destinos, int estado) override {
    int terminados = 0;
    for (const TSeguido& d : destinos) {
      Linea(NombreUnidad(d.Rec) + ": " + TextoSituacion(d));
      if (d.Resultado == TResultado::Terminado) ++terminados;
    }
    Linea("terminados " + std::to_string(terminados) + " de " + std::to_string(destinos.size()) +
          " destinos; estado de salida " + std::to_string(estado));
  }

 private:
  void Progreso(const TSeguido& seguido) {
    // Only what moves: a worker at rest has nothing new to say.
    if (seguido.Foto.Estado != TEstado::Escribiendo &&
        seguido.Foto.Estado != TEstado::Sincronizando &&
        seguido.Foto.Estado != TEstado::Verificando) {
      return;
    }
    std::string linea =
        NombreUnidad(seguido.Rec) + ": " + std::to_string(Porcentaje(seguido)) + "%";
    const std::string ritmo = TextoRitmo(seguido);
    if (!ritmo.empty()) linea += " " + ritmo;
    Linea(linea);
  }
  void Linea(const std::string& texto) {
    const std::string linea = FechaHoraIso(platform::Now()) + " " + texto + "\n";
    std::fwrite(linea.data(), 1, linea.size(), salida_);
    std::fflush(salida_);
  }

  std::FILE* salida_;
  Reloj::time_point proximo_ = Reloj::now();
};

}  // namespace

std::unique_ptr<TInforme> InformeLineas(std::FILE* salida) {
  return std::make_unique<TInformeLineas>(salida);
}

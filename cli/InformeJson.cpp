// --json: one JSON object per line and event, flushed at once, for programs that follow a copy.
// Every object has "event" and "time"; drives carry "role", "letter", "label", "serial" and
// "mount".
#include <chrono>

#include "app/FechaIso.h"
#include "app/NombresEstado.h"
#include "app/UnidadJson.h"
#include "cli/Informe.h"
#include "cli/Senales.h"
#include "platform/locale.h"

namespace {

using Reloj = std::chrono::steady_clock;

class TInformeJson final : public TInforme {
 public:
  explicit TInformeJson(std::FILE* salida) : salida_(salida) {}

  void Inicio(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    std::string lista = "[";
    for (const TSeguido& d : destinos) {
      if (lista.size() > 1) lista.push_back(',');
      lista += Unidad(d).Texto();
    }
    lista.push_back(']');
    Escribir(Suceso("start").Json("source", Unidad(origen).Texto()).Json("destinations", lista));
    proxima_muestra_ = Reloj::now() + std::chrono::seconds(1);
  }

  void CambioEstado(const TSeguido& seguido, TEstado antes, TEstado ahora) override {
    TObjetoJson objeto = Suceso("state");
    DeUnidad(objeto, seguido);
    Escribir(objeto.Ascii("from", EstadoJson(antes)).Ascii("to", EstadoJson(ahora)));
  }

  void Error(const TSeguido& seguido) override {
    TObjetoJson objeto = Suceso("error");
    DeUnidad(objeto, seguido);
    objeto.Json("error", ErrorJson(seguido.Foto.LEC));
    Archivo(objeto, seguido.EsOrigen ? seguido.Foto.Muestra.ONombre
                                      : seguido.Foto.Muestra.DNombre);
    Escribir(objeto);
  }

  // A sample per worker and second while the run goes on.
  void Tic(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    const auto ahora = Reloj::now();
    if (ahora < proxima_muestra_) return;
    proxima_muestra_ += std::chrono::seconds(1);
    if (proxima_muestra_ < ahora) proxima_muestra_ = ahora + std::chrono::seconds(1);
    Muestra(origen);
    for (const TSeguido& d : destinos) {
      if (d.Resultado == TResultado::EnCurso) Muestra(d);
    }
  }

  void Expulsion(const TSeguido& seguido) override {
    TObjetoJson objeto = Suceso("eject");
    DeUnidad(objeto, seguido);
    objeto.Logico("ok", seguido.Expulsado == TExpulsado::Si);
    objeto.Json("error", ErrorJson(seguido.ErrorExpulsion));
    Escribir(objeto);
  }

  void Cancelacion(int senal) override {
    Escribir(Suceso("cancel").Ascii("signal", NombreSenal(senal)));
  }

  void Resumen(const TSeguido&, const std::vector<TSeguido>& destinos, int estado) override {
    std::string lista = "[";
    for (const TSeguido& d : destinos) {
      TObjetoJson objeto = Unidad(d);
      objeto.Ascii("result", ResultadoJson(d.Resultado))
          .Entero("bytes_done", d.Foto.DPos)
          .Entero("bytes_total", d.Foto.DFin)
          .Json("error", ErrorJson(d.Error));
      Archivo(objeto, d.Resultado == TResultado::Fallido ? d.Archivo : std::u16string());
      if (d.Expulsado == TExpulsado::No) {
        objeto.Nulo("ejected");
      } else {
        objeto.Logico("ejected", d.Expulsado == TExpulsado::Si);
      }
      if (lista.size() > 1) lista.push_back(',');
      lista += objeto.Texto();
    }
    lista.push_back(']');
    Escribir(Suceso("summary").Entero("status", estado).Json("destinations", lista));
  }

 private:
  static TObjetoJson Suceso(const char* nombre) {
    TObjetoJson objeto;
    objeto.Ascii("event", nombre).Ascii("time", FechaHoraIso(platform::Now()));
    return objeto;
  }
  static void DeUnidad(TObjetoJson& objeto, const TSeguido& seguido) {
    objeto.Ascii("role", seguido.EsOrigen ? "source" : "destination");
    CamposUnidad(objeto, seguido.Rec);
  }
  static TObjetoJson Unidad(const TSeguido& seguido) {
    TObjetoJson objeto;
    CamposUnidad(objeto, seguido.Rec);
    return objeto;
  }
  static void Archivo(TObjetoJson& objeto, const std::u16string& nombre) {
    if (nombre.empty()) {
      objeto.Nulo("file");
    } else {
      objeto.Texto("file", NombreConBarras(nombre));
    }
  }
  void Muestra(const TSeguido& seguido) {
    TObjetoJson objeto = Suceso("progress");
    DeUnidad(objeto, seguido);
    CamposProgreso(objeto, seguido.Foto);
    Escribir(objeto);
  }
  void Escribir(const TObjetoJson& objeto) {
    const std::string linea = objeto.Texto() + "\n";
    std::fwrite(linea.data(), 1, linea.size(), salida_);
    std::fflush(salida_);
  }

  std::FILE* salida_;
  Reloj::time_point proxima_muestra_ = Reloj::now();
};

}  // namespace

std::unique_ptr<TInforme> InformeJson(std::FILE* salida) {
  return std::make_unique<TInformeJson>(salida);
}

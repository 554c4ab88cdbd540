// On a terminal: one line per worker, the source first (name, bar, percentage, speed and
// finish time, state), redrawn in place at every timer tick; a last line at the end.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "cli/Informe.h"
#include "cli/Senales.h"
#include "cli/TextoProgreso.h"

namespace {

constexpr int kAnchoBarra = 20;

// Characters, not bytes, of UTF-8 text: what a terminal gives a column each, near enough.
std::size_t Columnas(const std::string& texto) {
  return static_cast<std::size_t>(std::count_if(texto.begin(), texto.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Cut to `columnas` characters, never inside one.
std::string Cortar(const std::string& texto, std::size_t columnas) {
  std::size_t vistas = 0;
  for (std::size_t i = 0; i < texto.size(); ++i) {
    if ((static_cast<unsigned char>(texto[i]) & 0xC0) == 0x80) continue;
    if (vistas++ == columnas) return texto.substr(0, i);
  }
  return texto;
}

class TInformeTerminal final : public TInforme {
 public:
  explicit TInformeTerminal(std::FILE* salida) : salida_(salida) {}

  void Inicio(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    ancho_nombre_ = Columnas(NombreUnidad(origen.Rec));
    for (const TSeguido& d : destinos) {
      ancho_nombre_ = std::max(ancho_nombre_, Columnas(NombreUnidad(d.Rec)));
    }
    Dibujar(origen, destinos);
  }
  void CambioEstado(const TSeguido&, TEstado, TEstado) override {}
  void Error(const TSeguido&) override {}
  void Tic(const TSeguido& origen, const std::vector<TSeguido>& destinos) override {
    Dibujar(origen, destinos);
  }
  void Expulsion(const TSeguido&) override {}
  void Cancelacion(int senal) override { senal_ = senal; }

  void Resumen(const TSeguido& origen, const std::vector<TSeguido>& destinos,
               int estado) override {
    Dibujar(origen, destinos);
    const auto terminados = std::count_if(destinos.begin(), destinos.end(), [](const auto& d) {
      return d.Resultado == TResultado::Terminado;
    });
    std::string linea = "Terminados " + std::to_string(terminados) + " de " +
                        std::to_string(destinos.size()) + " destinos";
    if (senal_ != 0) linea += std::string(", cancelado por ") + NombreSenal(senal_);
    linea += "; estado de salida " + std::to_string(estado) + "\n";
    std::fputs(linea.c_str(), salida_);
    std::fflush(salida_);
  }

 private:
  std::string Linea(const TSeguido& seguido) const {
    std::string nombre = NombreUnidad(seguido.Rec);
    nombre += std::string(ancho_nombre_ - std::min(ancho_nombre_, Columnas(nombre)), ' ');
    const int porcentaje = Porcentaje(seguido);
    std::string linea = (seguido.EsOrigen ? "origen  " : "destino ") + nombre + " " +
                        Barra(porcentaje, kAnchoBarra) + " ";
    const std::string cifra = std::to_string(porcentaje);
    linea += std::string(3 - std::min<std::size_t>(3, cifra.size()), ' ') + cifra + "%";
    const std::string ritmo = TextoRitmo(seguido);
    if (!ritmo.empty()) linea += "  " + ritmo;
    return linea + "  " + TextoSituacion(seguido);
  }

  void Dibujar(const TSeguido& origen, const std::vector<TSeguido>& destinos) {
    winsize ventana{};
    const bool medida = ioctl(fileno(salida_), TIOCGWINSZ, &ventana) == 0;
    const std::size_t columnas = medida && ventana.ws_col > 1 ? ventana.ws_col - 1 : 79;
    // The lines that fit the window, one row kept for the cursor: lines that scrolled out of it
    // could not be reached again. What does not fit is counted on the last line.
    const std::size_t filas = medida && ventana.ws_row > 2 ? ventana.ws_row - 1 : 24;
    std::string texto;
    // Back to the first line drawn last time, then every line over again.
    if (dibujadas_ > 0) texto += "\r\x1b[" + std::to_string(dibujadas_) + "A";
    dibujadas_ = 0;
    auto agregar = [&](const std::string& linea) {
      texto += "\x1b[2K" + Cortar(linea, columnas) + "\n";
      ++dibujadas_;
    };
    agregar(Linea(origen));
    const std::size_t caben = destinos.size() + 1 <= filas ? destinos.size() : filas - 2;
    for (std::size_t i = 0; i < caben; ++i) agregar(Linea(destinos[i]));
    if (caben < destinos.size()) {
      const auto terminados =
          std::count_if(destinos.begin() + static_cast<std::ptrdiff_t>(caben), destinos.end(),
                        [](const TSeguido& d) { return d.Resultado == TResultado::Terminado; });
      agregar("... y " + std::to_string(destinos.size() - caben) + " destinos más, " +
              std::to_string(terminados) + " terminados");
    }
    std::fwrite(texto.data(), 1, texto.size(), salida_);
    std::fflush(salida_);
  }

  std::FILE* salida_;
  std::size_t ancho_nombre_ = 0;
  int dibujadas_ = 0;
  int senal_ = 0;
};

}  // namespace

std::unique_ptr<TInforme> InformeTerminal(std::FILE* salida) {
  return std::make_unique<TInformeTerminal>(salida);
}

std::unique_ptr<TInforme> ElegirInforme(bool json, std::FILE* salida) {
  if (json) return InformeJson(salida);
  if (isatty(fileno(salida))) return InformeTerminal(salida);
  return InformeLineas(salida);
}

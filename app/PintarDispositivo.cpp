#include "app/PintarDispositivo.h"

#include <algorithm>
#include <string>

#include "app/AcortarCamino.h"
#include "app/Contraste.h"
#include "app/LineaDispositivo.h"

namespace {

const std::u16string kPuntos = u"...";

int Margen(platform::Canvas& canvas) { return std::max(2, canvas.TextHeight(u"Wg") / 4); }

// The first line, whole when it fits; otherwise the drive's name loses its middle, down to a few
// characters at each end, so that the free space, the percentage and the finish time stay whole.
// Only a line still too long (a long error text) then loses its end.
std::u16string LineaAjustada(const TFila& fila, platform::Canvas& canvas, int ancho) {
  std::u16string linea = LineaFila(fila);
  if (canvas.TextWidth(linea) <= ancho) return linea;
  const std::u16string& nombre = fila.Foto.HRec.Nombre;
  const std::u16string resto = linea.substr(nombre.size());
  constexpr std::size_t kMinimo = 6;  // characters of the name kept around the "..."
  for (std::size_t quedan = nombre.size(); quedan-- > kMinimo;) {
    const std::size_t delante = (quedan + 1) / 2, detras = quedan / 2;
    linea = nombre.substr(0, delante) + kPuntos + nombre.substr(nombre.size() - detras) + resto;
    if (canvas.TextWidth(linea) <= ancho) return linea;
  }
  while (linea.size() > kMinimo && canvas.TextWidth(linea + kPuntos) > ancho) linea.pop_back();
  return linea + kPuntos;
}

}  // namespace

void TextoSobreBarra(platform::Canvas& canvas, int x, int y, const std::u16string& texto,
                     const platform::Rect& zona, int corte, platform::Color izquierda,
                     platform::Color derecha, platform::Color preferida) {
  const platform::Color letra_izquierda = LetraLegible(izquierda, preferida);
  const platform::Color letra_derecha = LetraLegible(derecha, preferida);
  const int fin = x + canvas.TextWidth(texto);
  if (corte <= x || corte >= fin || letra_izquierda == letra_derecha) {
    canvas.SetFontColor(corte >= fin ? letra_izquierda : letra_derecha);
    canvas.TextOut(x, y, texto);
    return;
  }
  canvas.SetClipRect({zona.Left, zona.Top, corte, zona.Bottom});
  canvas.SetFontColor(letra_izquierda);
  canvas.TextOut(x, y, texto);
  canvas.SetClipRect({corte, zona.Top, zona.Right, zona.Bottom});
  canvas.SetFontColor(letra_derecha);
  canvas.TextOut(x, y, texto);
  canvas.ClearClipRect();
}

platform::Rect EtiquetaEstado(const TFila& fila, platform::Canvas& canvas,
                              const platform::Rect& R) {
  const int mitad = R.Top + (R.Bottom - R.Top) / 2;
  const std::u16string palabra = PalabraEstado(EstadoFila(fila), fila.Foto.EsOrigen,
                                                 fila.Foto.Comprobacion.Verificado);
  const int ancho = canvas.TextWidth(palabra) + 2 * Margen(canvas);
  // The item's last row holds its closing line.
  return {std::max(R.Left, R.Right - ancho - 1), mitad, R.Right - 1, R.Bottom - 1};
}

void PintarDispositivo(const TFila& fila, const TColores& colores, platform::Canvas& canvas,
                       const platform::Rect& R) {
  try {
    const TInstantanea& foto = fila.Foto;
    const platform::Color fondo = canvas.BrushColor();
    const platform::Color letra = canvas.FontColor();
    canvas.FillRect(R);
    const platform::Rect U{R.Left, R.Top, R.Right, R.Top + (R.Bottom - R.Top) / 2};
    const platform::Rect D{R.Left, U.Bottom, R.Right, R.Bottom};
    const TMuestra& muestra = foto.Muestra;
    const platform::Color barra = foto.LEC != 0  ? colores.ColorError.load()
                                  : foto.EsOrigen ? colores.ColorOrigen.load()
                                                  : colores.ColorDestino.load();
    int corte_arriba = U.Left, corte_abajo = D.Left;
    if (fila.TrabajoFin > 0) {
      const std::int64_t x = ((fila.TrabajoPos * 65536) / fila.TrabajoFin) * R.Width() / 65536;
      corte_arriba = U.Left + static_cast<int>(std::clamp<std::int64_t>(x, 0, U.Width()));
      canvas.SetBrushColor(barra);
      canvas.FillRect({U.Left, U.Top, corte_arriba, U.Bottom});
    }
    const TEstadoFila estado = EstadoFila(fila);
    // A finished or idle worker's last file is history: the lower half shows a file only while
    // the worker has work, and the error's file while it is failed.
    const bool con_archivo = Activo(estado) || estado == TEstadoFila::Fallido;
    if (con_archivo && muestra.FTalla != 0) {
      const std::int64_t x = muestra.FPos * D.Width() / muestra.FTalla;
      corte_abajo = D.Left + static_cast<int>(std::clamp<std::int64_t>(x, 0, D.Width()));
      canvas.SetBrushColor(barra);
      canvas.FillRect({D.Left, D.Top, corte_abajo, D.Bottom});
    }
    const platform::Rect etiqueta = EtiquetaEstado(fila, canvas, R);
    canvas.SetBrushColor(ColorEstado(estado));
    canvas.FillRect(etiqueta);
    canvas.SetBrushClear();

    TextoSobreBarra(canvas, U.Left + 1, U.Top, LineaAjustada(fila, canvas, U.Width() - 2), U,
                    corte_arriba, barra, fondo, letra);
    if (con_archivo) {
      const std::u16string& nombre = foto.EsOrigen ? muestra.ONombre : muestra.DNombre;
      const std::u16string fstr = TextoFStr(muestra.FStr);
      const int ancho = etiqueta.Left - D.Left - canvas.TextWidth(fstr) - 2;
      const platform::Rect zona{D.Left, D.Top, etiqueta.Left, D.Bottom};
      TextoSobreBarra(canvas, D.Left + 1, D.Top, AcortarCamino(nombre, canvas, ancho) + fstr,
                      zona, corte_abajo, barra, fondo, letra);
    }
    const platform::Color color_etiqueta = ColorEstado(estado);
    canvas.SetFontColor(LetraLegible(color_etiqueta, platform::Rgb(0, 0, 0)));
    canvas.SetClipRect(etiqueta);
    canvas.TextOut(etiqueta.Left + Margen(canvas), D.Top,
                   PalabraEstado(estado, foto.EsOrigen, foto.Comprobacion.Verificado));
    canvas.ClearClipRect();
    canvas.HorizontalLine(D.Left, D.Right, R.Bottom - 1);
  } catch (...) {
    // An item that cannot be drawn now is drawn again at the next tick.
  }
}

int AnchoFilaNormal(platform::Canvas& canvas) {
  TFila fila;
  fila.Foto.HRec.Nombre = u"Disco extraible";
  fila.Foto.HRec.Letra = u"WW";
  fila.Foto.Estado = TEstado::Escribiendo;
  fila.Foto.Capacidad = {true, false, 999LL << 30};
  fila.Foto.Velocidad = {0, 999LL << 20, 0.999988};  // 23:59:59
  fila.TrabajoPos = 1;
  fila.TrabajoFin = 1;
  const int arriba = canvas.TextWidth(LineaFila(fila)) + 2;
  // The longest word a destination's row ends with.
  const int abajo = canvas.TextWidth(u"...\\IMG_0001.JPG 999.99 Mb 100%") + 2 +
                    canvas.TextWidth(PalabraEstado(TEstadoFila::Terminado, false, true)) +
                    2 * Margen(canvas) + 1;
  return std::max(arriba, abajo);
}

#include "app/PintarDispositivo.h"

#include <algorithm>
#include <string>

#include "app/AcortarCamino.h"
#include "app/LineaDispositivo.h"

void PintarDispositivo(const TInstantanea& foto, const TColores& colores,
                       platform::Canvas& canvas, const platform::Rect& R) {
  try {
    canvas.FillRect(R);
    const platform::Rect U{R.Left, R.Top, R.Right, R.Top + (R.Bottom - R.Top) / 2};
    const platform::Rect D{R.Left, U.Bottom, R.Right, R.Bottom};
    const TMuestra& muestra = foto.Muestra;
    const platform::Color barra = foto.LEC != 0  ? colores.ColorError.load()
                                  : foto.EsOrigen ? colores.ColorOrigen.load()
                                                  : colores.ColorDestino.load();
    if (foto.DFin != 0) {
      const std::int64_t x = ((foto.DPos * 65536) / foto.DFin) * R.Width() / 65536;
      canvas.SetBrushColor(barra);
      canvas.FillRect({U.Left, U.Top, U.Left + static_cast<int>(std::clamp<std::int64_t>(
                                               x, 0, U.Width())),
                       U.Bottom});
    }
    if (muestra.FTalla != 0) {
      const std::int64_t x = muestra.FPos * D.Width() / muestra.FTalla;
      canvas.SetBrushColor(barra);
      canvas.FillRect({D.Left, D.Top,
                       D.Left + static_cast<int>(std::clamp<std::int64_t>(x, 0, D.Width())),
                       D.Bottom});
    }
    canvas.SetBrushClear();
    canvas.TextOut(U.Left + 1, U.Top, LineaDispositivo(foto));
    const std::u16string& nombre = foto.EsOrigen ? muestra.ONombre : muestra.DNombre;
    const std::u16string fstr = TextoFStr(muestra.FStr);
    const int ancho = D.Width() - canvas.TextWidth(fstr) - 1;
    canvas.TextOut(D.Left + 1, D.Top, AcortarCamino(nombre, canvas, ancho) + fstr);
    canvas.HorizontalLine(D.Left, D.Right, R.Bottom - 1);
  } catch (...) {
    // An item that cannot be drawn now is drawn again at the next tick.
  }
}

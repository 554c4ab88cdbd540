// The worker's item in the device list: name, letter and free space with the overall bar above,
// the current file with its own bar below.
#include <algorithm>
#include <string>

#include "DUnit/AcortarCamino.h"
#include "DUnit/LineaDispositivo.h"
#include "DUnit/TDHilo.h"


void TDHilo::Pintar(platform::Canvas& canvas, const platform::Rect& R) {
  try {
    canvas.FillRect(R);
    const platform::Rect U{R.Left, R.Top, R.Right, R.Top + (R.Bottom - R.Top) / 2};
    const platform::Rect D{R.Left, U.Bottom, R.Right, R.Bottom};
    const bool en_error = GetLEC() != 0;
    const TMuestra muestra = GetMuestra();
    const platform::Color barra =
        en_error ? Entorno->ColorError.load() : PaintBoxColor->load();

    const std::int64_t fin = GetDFin();
    const std::int64_t pos = GetDPos();
    const std::u16string linea1 =
        LineaDispositivo(GetHRec(), GetCapacidad(), pos, fin, GetVelocidad());
    if (fin != 0) {
      const std::int64_t x = ((pos * 65536) / fin) * R.Width() / 65536;
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
    canvas.TextOut(U.Left + 1, U.Top, linea1);
    const std::u16string& nombre = EsLaFuente() ? muestra.ONombre : muestra.DNombre;
    const int ancho = D.Width() - canvas.TextWidth(muestra.FStr) - 1;
    canvas.TextOut(D.Left + 1, D.Top, AcortarCamino(nombre, canvas, ancho) + muestra.FStr);
    canvas.HorizontalLine(D.Left, D.Right, R.Bottom - 1);
  } catch (...) {
    // An item that cannot be drawn now is drawn again at the next tick.
  }
}

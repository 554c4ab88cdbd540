#include "app/LineaDispositivo.h"

#include "app/TallaStr.h"
#include "app/TextoError.h"
#include "platform/locale.h"

std::u16string TextoCapacidad(const TCapacidad& capacidad) {
  if (!capacidad.Valida) return {};
  return (capacidad.Faltan ? u" Faltan " : u" Libre ") + TallaStr(capacidad.Bytes);
}

std::u16string TextoVelocidad(const TVelocidad& velocidad) {
  if (velocidad.Error != 0) return TextoError(velocidad.Error);
  if (velocidad.BytesSegundo == 0) return {};
  return TallaStr(velocidad.BytesSegundo) + u"/Seg. Termina " +
         platform::FormatLongTime(velocidad.Termina);
}

std::u16string TextoFStr(const TFStr& fstr) {
  if (fstr.Talla < 0) return {};
  std::u16string texto = u" " + TallaStr(fstr.Talla);
  if (fstr.Porcentaje >= 0) texto += u" " + EnteroStr(fstr.Porcentaje) + u"%";
  return texto;
}

std::u16string LineaDispositivo(const TInstantanea& foto) {
  std::u16string linea =
      foto.HRec.Nombre + u" (" + foto.HRec.Letra + u") " + TextoCapacidad(foto.Capacidad);
  if (foto.DFin != 0) {
    linea += u" " + EnteroStr(foto.DPos * 100 / foto.DFin) + u"% " +
             TextoVelocidad(foto.Velocidad);
  }
  return linea;
}

#include "app/FilaDispositivo.h"

#include <algorithm>

#include "app/LineaDispositivo.h"
#include "app/TallaStr.h"
#include "platform/locale.h"

TEstadoFila EstadoFila(const TFila& fila) {
  const TEstado estado = fila.Foto.Estado;
  if (estado == TEstado::Quitado) return TEstadoFila::Quitado;
  if (fila.Foto.LEC != 0 || estado == TEstado::Fallido) return TEstadoFila::Fallido;
  switch (estado) {
    case TEstado::EnCola:
      return fila.Detenido ? TEstadoFila::Detenido : TEstadoFila::EnCola;
    case TEstado::Escribiendo:
      return fila.Detenido ? TEstadoFila::Detenido : TEstadoFila::Escribiendo;
    case TEstado::Sincronizando:
      return fila.Detenido ? TEstadoFila::Detenido : TEstadoFila::Sincronizando;
    case TEstado::Verificando:
      return fila.Detenido ? TEstadoFila::Detenido : TEstadoFila::Verificando;
    case TEstado::Terminado:
      return TEstadoFila::Terminado;
    default:
      return TEstadoFila::Reposo;
  }
}

std::u16string PalabraEstado(TEstadoFila estado, bool es_origen, bool verificado) {
  switch (estado) {
    case TEstadoFila::Reposo:
      return u"Sin trabajo";
    case TEstadoFila::EnCola:
      return u"En cola";
    case TEstadoFila::Escribiendo:
      return es_origen ? u"Leyendo" : u"Escribiendo";
    case TEstadoFila::Sincronizando:
      return u"Sincronizando...";
    case TEstadoFila::Verificando:
      return u"Verificando";
    case TEstadoFila::Terminado:
      if (es_origen) return u"Terminado";
      return verificado ? u"Verificado: puede retirarse" : u"Terminado: puede retirarse";
    case TEstadoFila::Fallido:
      return u"Fallido";
    case TEstadoFila::Quitado:
      return u"Quitado";
    case TEstadoFila::Detenido:
      return u"Detenido";
  }
  return {};
}

platform::Color ColorEstado(TEstadoFila estado) {
  switch (estado) {
    case TEstadoFila::Reposo:
      return platform::Rgb(225, 225, 225);
    case TEstadoFila::EnCola:
      return platform::Rgb(185, 205, 255);
    case TEstadoFila::Escribiendo:
      return platform::Rgb(0, 100, 200);
    case TEstadoFila::Sincronizando:
      return platform::Rgb(255, 195, 0);
    case TEstadoFila::Verificando:
      return platform::Rgb(0, 170, 170);
    case TEstadoFila::Terminado:
      return platform::Rgb(0, 140, 60);
    case TEstadoFila::Fallido:
      return platform::Rgb(200, 0, 0);
    case TEstadoFila::Quitado:
      return platform::Rgb(90, 90, 90);
    case TEstadoFila::Detenido:
      return platform::Rgb(150, 80, 200);
  }
  return platform::Rgb(225, 225, 225);
}

bool Activo(TEstadoFila estado) {
  return estado == TEstadoFila::EnCola || estado == TEstadoFila::Escribiendo ||
         estado == TEstadoFila::Sincronizando || estado == TEstadoFila::Verificando ||
         estado == TEstadoFila::Detenido;
}

int PorcentajeTrabajo(const TFila& fila) {
  // A stick checked against its manifest has a read-back and no job.
  const TComprobacionFoto& comprobacion = fila.Foto.Comprobacion;
  if (EstadoFila(fila) == TEstadoFila::Verificando && comprobacion.Fin > 0) {
    return static_cast<int>(
        std::clamp<std::int64_t>(comprobacion.Pos * 100 / comprobacion.Fin, 0, 100));
  }
  if (fila.TrabajoFin <= 0) return -1;
  // Sector rounding can take the position past the total.
  return static_cast<int>(std::clamp<std::int64_t>(fila.TrabajoPos * 100 / fila.TrabajoFin, 0, 100));
}

std::u16string LineaFila(const TFila& fila) {
  const TInstantanea& foto = fila.Foto;
  std::u16string linea =
      foto.HRec.Nombre + u" (" + foto.HRec.Letra + u") " + TextoCapacidad(foto.Capacidad);
  const int porcentaje = PorcentajeTrabajo(fila);
  if (porcentaje < 0) return linea;
  linea += u" " + EnteroStr(porcentaje) + u"% ";
  const TEstadoFila estado = EstadoFila(fila);
  // A speed measured before the copy stopped or ended would be stale at once.
  if (estado == TEstadoFila::Fallido ||
      ((estado == TEstadoFila::Escribiendo || estado == TEstadoFila::Sincronizando ||
        estado == TEstadoFila::Verificando) &&
       foto.Velocidad.Error == 0)) {
    linea += TextoVelocidad(foto.Velocidad);
  }
  return linea;
}

TResumen Resumir(const std::vector<TFila>& filas) {
  TResumen resumen;
  bool termina_conocida = true;
  for (const TFila& fila : filas) {
    if (fila.Foto.EsOrigen || fila.TrabajoFin <= 0) continue;
    ++resumen.Memorias;
    const TEstadoFila estado = EstadoFila(fila);
    if (fila.Detenido) resumen.Detenida = true;
    if (estado == TEstadoFila::Terminado) ++resumen.Terminadas;
    if (estado == TEstadoFila::Fallido || estado == TEstadoFila::Quitado) ++resumen.Fallidas;
    if (!Activo(estado)) continue;
    resumen.Quedan = std::max(resumen.Quedan, std::max<std::int64_t>(0, fila.TrabajoFin - fila.TrabajoPos));
    if (estado == TEstadoFila::Escribiendo && fila.Foto.Velocidad.BytesSegundo > 0) {
      resumen.Termina = std::max(resumen.Termina, fila.Foto.Velocidad.Termina);
    } else {
      termina_conocida = false;
    }
  }
  if (!termina_conocida || resumen.Detenida) resumen.Termina = 0;
  return resumen;
}

namespace {

std::u16string Cuenta(int n, const std::u16string& singular, const std::u16string& plural) {
  return EnteroStr(n) + u" " + (n == 1 ? singular : plural);
}

}  // namespace

std::u16string TextoResumen(const TResumen& resumen) {
  if (resumen.Memorias == 0) return u"Sin copia en curso.";
  std::u16string texto = u"Copia: " + Cuenta(resumen.Memorias, u"memoria", u"memorias") +
                         u", " + Cuenta(resumen.Terminadas, u"terminada", u"terminadas") +
                         u", " + Cuenta(resumen.Fallidas, u"fallida", u"fallidas") + u".";
  if (resumen.Terminadas + resumen.Fallidas == resumen.Memorias) {
    return texto + u" Terminada.";
  }
  texto += u" Quedan " + TallaStr(resumen.Quedan) + u" en la más lenta.";
  if (resumen.Detenida) return texto + u" Detenida.";
  if (resumen.Termina > 0) texto += u" Termina " + platform::FormatLongTime(resumen.Termina) + u".";
  return texto;
}

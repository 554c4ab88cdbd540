#include "cli/TextoProgreso.h"

#include <algorithm>

#include "app/LineaDispositivo.h"
#include "app/NombresEstado.h"
#include "app/TextoError.h"
#include "platform/locale.h"

int Porcentaje(const TSeguido& seguido) {
  const TInstantanea& foto = seguido.Foto;
  if (foto.DFin <= 0) return seguido.Resultado == TResultado::Terminado ? 100 : 0;
  if (foto.Estado == TEstado::Verificando && foto.Comprobacion.Fin > 0) {
    return static_cast<int>(
        std::clamp<std::int64_t>(foto.Comprobacion.Pos * 100 / foto.Comprobacion.Fin, 0, 100));
  }
  return static_cast<int>(std::clamp<std::int64_t>(foto.DPos * 100 / foto.DFin, 0, 100));
}

std::string Barra(int porcentaje, int ancho) {
  const int lleno = std::clamp(porcentaje, 0, 100) * ancho / 100;
  return "[" + std::string(lleno, '#') + std::string(ancho - lleno, '.') + "]";
}

std::string TextoRitmo(const TSeguido& seguido) {
  if (seguido.Resultado != TResultado::EnCurso || seguido.Foto.Velocidad.Error != 0) return {};
  const TEstado estado = seguido.Foto.Estado;
  if (estado != TEstado::Escribiendo && estado != TEstado::Sincronizando &&
      estado != TEstado::Verificando)
    return {};
  return platform::ToUtf8(TextoVelocidad(seguido.Foto.Velocidad));
}

std::string TextoSituacion(const TSeguido& seguido) {
  std::u16string texto;
  if (seguido.Resultado == TResultado::EnCurso) {
    texto = EstadoTexto(seguido.Foto.Estado);
    if (seguido.Foto.LEC != 0) texto += u" " + TextoError(seguido.Foto.LEC);
  } else {
    texto = ResultadoTexto(seguido.Resultado);
    if (seguido.Resultado == TResultado::Terminado && seguido.Foto.Comprobacion.Verificado)
      texto += u", verificado";
    if (seguido.Error != 0) texto += u" " + TextoError(seguido.Error);
  }
  switch (seguido.Expulsado) {
    case TExpulsado::No:
      break;
    case TExpulsado::EnCurso:
      texto += u", expulsando";
      break;
    case TExpulsado::Si:
      texto += u", expulsado";
      break;
    case TExpulsado::Fallo:
      texto += u", no se pudo expulsar " + TextoError(seguido.ErrorExpulsion);
      break;
  }
  return platform::ToUtf8(texto);
}

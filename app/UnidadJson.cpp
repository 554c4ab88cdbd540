#include "app/UnidadJson.h"

#include <cstdio>

#include "app/FechaIso.h"
#include "app/NombresEstado.h"
#include "app/TextoError.h"

std::string SerieTexto(std::uint32_t serie) {
  char texto[16];
  std::snprintf(texto, sizeof texto, "%08X", static_cast<unsigned>(serie));
  return texto;
}

const char* PapelJson(const TDHilo& hilo) {
  if (hilo.GetOD() == nullptr) return "none";
  return hilo.EsLaFuente() ? "source" : "destination";
}

std::u16string NombreConBarras(std::u16string nombre) {
  for (char16_t& c : nombre) {
    if (c == u'\\') c = u'/';
  }
  return NombreLinux(std::move(nombre));
}

std::string ErrorJson(std::uint32_t code) {
  if (code == 0) return "null";
  return TObjetoJson().Entero("code", code).Texto("message", MensajeError(code)).Texto();
}

void CamposUnidad(TObjetoJson& objeto, const THRec& rec) {
  objeto.Texto("letter", rec.Letra)
      .Texto("label", rec.Nombre)
      .Ascii("serial", SerieTexto(rec.ID))
      .Nombre("mount", rec.Montaje);
}

void CamposProgreso(TObjetoJson& objeto, const TInstantanea& foto) {
  objeto.Ascii("state", EstadoJson(foto.Estado))
      .Entero("bytes_done", foto.DPos)
      .Entero("bytes_total", foto.DFin)
      .Entero("speed", foto.Velocidad.Error == 0 ? foto.Velocidad.BytesSegundo : 0);
  const std::string termina = foto.Velocidad.Error == 0 && foto.Velocidad.BytesSegundo != 0
                                  ? FechaHoraIso(foto.Velocidad.Termina)
                                  : std::string();
  if (termina.empty()) {
    objeto.Nulo("finish");
  } else {
    objeto.Ascii("finish", termina);
  }
  const std::u16string& archivo = foto.EsOrigen ? foto.Muestra.ONombre : foto.Muestra.DNombre;
  if (archivo.empty()) {
    objeto.Nulo("file");
  } else {
    objeto.Texto("file", NombreConBarras(archivo));
  }
  objeto.Json("error", ErrorJson(foto.LEC));
  if (foto.EsOrigen) objeto.Entero("bytes_read_again", foto.Releido);
  const TComprobacionFoto& comprobacion = foto.Comprobacion;
  // Every file that failed its read-back is "differing"; those not on the stick are "missing"
  // as well.
  objeto.Logico("verified", comprobacion.Verificado)
      .Entero("bytes_verified", comprobacion.Pos)
      .Entero("bytes_to_verify", comprobacion.Fin)
      .Json("differing", FallidosJson(comprobacion.Fallidos, [](TFalla) { return true; }))
      .Json("missing", FallidosJson(comprobacion.Fallidos,
                                    [](TFalla falla) { return falla == TFalla::Falta; }));
}

std::string FallidosJson(const std::vector<TArchivoFallido>& fallidos, bool (*toma)(TFalla)) {
  std::string lista = "[";
  for (const TArchivoFallido& fallido : fallidos) {
    if (!toma(fallido.Falla)) continue;
    if (lista.size() > 1) lista.push_back(',');
    lista += JsonTexto(NombreConBarras(fallido.Nombre));
  }
  return lista + "]";
}

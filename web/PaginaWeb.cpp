// The status page: the program, every drive of the device list with its state, and the
// computer's date and time, rebuilt for every request on the HTTP server's threads.
#include "web/PaginaWeb.h"

#include <algorithm>
#include <shared_mutex>

#include "app/LineaDispositivo.h"
#include "app/TallaStr.h"
#include "app/TextoError.h"
#include "platform/drives.h"
#include "platform/latin1.h"
#include "platform/locale.h"
#include "web/Base64.h"
#include "web/EstadoJson.h"

namespace {

constexpr char16_t kContacto[] = u"<h3>Contacto: soporte@orsanta.example</h3>";
constexpr int kRecargaMaxima = 3600;  // seconds

// Texts from volumes, the system and the program are written as text, never as markup.
std::u16string EscaparHtml(const std::u16string& texto) {
  std::u16string html;
  html.reserve(texto.size());
  for (const char16_t c : texto) {
    switch (c) {
      case u'<':
        html += u"&lt;";
        break;
      case u'>':
        html += u"&gt;";
        break;
      case u'&':
        html += u"&amp;";
        break;
      case u'"':
        html += u"&quot;";
        break;
      default:
        html.push_back(c);
    }
  }
  return html;
}

std::u16string ImgLinux(const std::function<std::string(const std::string&)>& icono_ico,
                        const std::string& ruta) {
  if (!icono_ico || ruta.empty()) return {};
  return ImgIcono(icono_ico(ruta));
}

}  // namespace

std::u16string GetWebStr(const TInstantanea& foto) {
  std::u16string linea = LineaDispositivo(foto);
  // An error shows only while there is work left, after the speed text that already holds it.
  if (foto.DFin != 0 && foto.LEC != 0) linea += TextoError(foto.LEC);
  return linea;
}

std::u16string IdHTTPServerCommandGet(TPrograma& P, int recarga) {
  // The copy keeps every worker alive while the page reads it, whatever the main thread does
  // to DList meanwhile.
  std::vector<std::shared_ptr<TDHilo>> hilos;
  {
    std::shared_lock<std::shared_mutex> lock(P.SincronizadorListas);
    hilos = P.DList;
  }
  const std::u16string nombre = EscaparHtml(NombrePrograma());
  const std::u16string meta =
      recarga > 0 ? u"<meta http-equiv=\"refresh\" content=\"" + EnteroStr(recarga) + u"\">"
                  : std::u16string();
  std::u16string pagina = u"<html><head><title>" + nombre + u"</title>" + meta +
                          u"</head><body><form method=\"post\" AUTOMPLETE=\"OFF\"><h1>" +
                          ImgLinux(P.IconoIco, P.RutaPrograma) + nombre +
                          u"&nbspversi&oacute;n&nbsp" +
                          EscaparHtml(platform::FormatShortDate(P.AppVersion)) + u"</h1>" +
                          kContacto + u"<h2>Dispositivos conectados:</h2><h3>";
  for (const auto& hilo : hilos) {
    const TInstantanea foto = hilo->GetInstantanea();
    pagina += ImgRuta(P, foto.HRec.Montaje) + u"&nbsp" +
              EscaparHtml(GetWebStr(foto)) + u"<br>";
  }
  const double ahora = P.Entorno->Env->Now();
  pagina += u"</h3><h3>Fecha:" + EscaparHtml(platform::FormatShortDate(ahora)) +
            u"&nbspHora:" + EscaparHtml(platform::FormatLongTime(ahora)) +
            u"</h3></form></body></html>";
  return pagina;
}

std::u16string ImgRuta(const TPrograma& P, const std::string& montaje) {
  // A worker keeps the identity of the last refresh after its drive has gone.
  if (montaje.empty() ||
      P.Entorno->Env->CurrentDrives()->GetDriveType(montaje) == platform::DRIVE_NO_ROOT_DIR) {
    return {};
  }
  return ImgLinux(P.IconoIco, montaje);
}

int SegundosRecarga(std::string_view destino) {
  destino = destino.substr(0, destino.find('#'));
  const std::size_t interrogacion = destino.find('?');
  if (interrogacion == std::string_view::npos) return 0;
  std::string_view consulta = destino.substr(interrogacion + 1);
  while (!consulta.empty()) {
    const std::size_t fin = std::min(consulta.find('&'), consulta.size());
    const std::string_view parametro = consulta.substr(0, fin);
    consulta.remove_prefix(std::min(fin + 1, consulta.size()));
    if (!parametro.starts_with("refresh=")) continue;
    // The first refresh decides; digits only, and a few of them, so that nothing overflows.
    const std::string_view valor = parametro.substr(8);
    if (valor.empty() || valor.size() > 4) return 0;
    int segundos = 0;
    for (const char c : valor) {
      if (c < '0' || c > '9') return 0;
      segundos = segundos * 10 + (c - '0');
    }
    return segundos >= 1 && segundos <= kRecargaMaxima ? segundos : 0;
  }
  return 0;
}

platform::HttpAnswer ResponderHTTP(TPrograma& P, std::string_view destino) {
  const std::string_view ruta = destino.substr(0, destino.find_first_of("?#"));
  if (ruta == "/status.json") return {EstadoDispositivosJson(P), "application/json"};
  return platform::ToLatin1(IdHTTPServerCommandGet(P, SegundosRecarga(destino)));
}

void ConectarPaginaWeb(TPrograma& P) {
  P.PaginaHTTP = [&P](std::string_view destino) { return ResponderHTTP(P, destino); };
}

std::u16string ImgIcono(const std::string& ico) {
  if (ico.empty()) return {};
  return u"<img src=\"data:image/ico;base64," + Base64(ico) + u"\">";
}

// The status page: the program, every drive of the device list with its state, and the
// computer's date and time, rebuilt for every request on the HTTP server's threads.
#include <shared_mutex>

#include "FormDUnit/Base64.h"
#include "FormDUnit/TPrograma.h"
#include "platform/locale.h"
#include "platform/paths.h"

namespace {

constexpr char16_t kContacto[] = u"<h3>Contacto: soporte@orsanta.example</h3>";

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
  return TPrograma::ImgIcono(icono_ico(ruta));
}

}  // namespace

std::u16string TPrograma::IdHTTPServerCommandGet() {
  // The copy keeps every worker alive while the page reads it, whatever the main thread does
  // to DList meanwhile.
  std::vector<std::shared_ptr<TDHilo>> hilos;
  {
    std::shared_lock<std::shared_mutex> lock(SincronizadorListas);
    hilos = DList;
  }
  const std::u16string nombre = EscaparHtml(NombrePrograma());
  std::u16string pagina = u"<html><head><title>" + nombre +
                          u"</title></head><body><form method=\"post\" AUTOMPLETE=\"OFF\"><h1>" +
                          ImgLinux(IconoIco, RutaPrograma) + nombre +
                          u"&nbspversi&oacute;n&nbsp" +
                          EscaparHtml(platform::FormatShortDate(AppVersion)) + u"</h1>" +
                          kContacto + u"<h2>Dispositivos conectados:</h2><h3>";
  for (const auto& hilo : hilos) {
    pagina += ImgRuta(std::u16string{hilo->GetHRec().Letra, u':', u'\\'}) + u"&nbsp" +
              EscaparHtml(hilo->GetWebStr()) + u"<br>";
  }
  const double ahora = platform::Now();
  pagina += u"</h3><h3>Fecha:" + EscaparHtml(platform::FormatShortDate(ahora)) +
            u"&nbspHora:" + EscaparHtml(platform::FormatLongTime(ahora)) +
            u"</h3></form></body></html>";
  return pagina;
}

std::u16string TPrograma::ImgRuta(const std::u16string& ruta) {
  std::string ruta_linux;
  if (!platform::ToLinuxPath(ruta, &ruta_linux, nullptr)) return {};
  return ImgLinux(IconoIco, ruta_linux);
}

std::u16string TPrograma::ImgIcono(const std::string& ico) {
  if (ico.empty()) return {};
  return u"<img src=\"data:image/ico;base64," + Base64(ico) + u"\">";
}

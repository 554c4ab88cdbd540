// The five settings and the three colours: each value is checked and clamped when it is
// entered, applied at once to the engine's shared values or to the HTTP server, and shown back
// in its clamped form; the settings file keeps them from one run to the next.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string_view>

#include "app/AjustesVerificacion.h"
#include "app/TallaStr.h"
#include "records/Codificacion.h"
#include "app/TPrograma.h"

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::uint32_t kTiempoErrorInicial = 15000;  // ms
constexpr std::uint16_t kPuertoInicial = 80;
constexpr platform::Color kColorOrigen = platform::Rgb(255, 160, 128);
constexpr platform::Color kColorDestino = platform::Rgb(0, 210, 210);
constexpr platform::Color kColorError = platform::Rgb(210, 0, 210);

// The rows of the value editor, 1 to 7; Valores[fila - 1] is a row's value. The settings file
// holds the first five; the read-back and the manifest live in a file of their own
// (AjustesVerificacion.h), so that the settings file keeps its layout.
enum TFila {
  kMemoriaLibre = 1,
  kEsperarRespuesta,
  kUsarCamino,
  kPuertoWeb,
  kServidorWeb,
  kVerificar,
  kManifiesto
};
constexpr int kFilasArchivo = 5;
constexpr int kFilas = 7;

std::u16string SiNo(bool si) { return si ? u"Si" : u"No"; }

// An optional sign and decimal digits that fit 64 bits; anything else is no number.
bool LeerNumero(const std::u16string& s, std::int64_t* v) {
  std::string ascii;
  for (const char16_t c : s) {
    if (c > 0x7F) return false;
    ascii.push_back(static_cast<char>(c));
  }
  std::string_view resto = ascii;
  if (resto.starts_with('+')) {
    resto.remove_prefix(1);
    if (resto.starts_with('-')) return false;
  }
  const auto [fin, error] = std::from_chars(resto.data(), resto.data() + resto.size(), *v);
  return error == std::errc() && fin == resto.data() + resto.size();
}

// A row's value as the current setting gives it.
std::u16string ValorActual(const TPrograma& P, int fila) {
  switch (fila) {
    case kMemoriaLibre:
      return EnteroStr(P.Entorno->MemoriaLibre.load() / kGiB);
    case kEsperarRespuesta:
      return EnteroStr(P.Entorno->TiempoError.load() / 1000);
    case kUsarCamino:
      return SiNo(P.UsarCaminoOrigen);
    case kPuertoWeb:
      return EnteroStr(P.IdHTTPServer->Port());
    case kVerificar:
      return SiNo(P.Entorno->Verificar.load());
    case kManifiesto:
      return SiNo(P.Entorno->Manifiesto.load());
    default:
      return SiNo(P.IdHTTPServer->Active());
  }
}

void Mostrar(TPrograma& P, int fila) { P.Valores[fila - 1] = ValorActual(P, fila); }

// A port in use, or a server that cannot start for any other reason, leaves it inactive and
// nobody is told: rows 4 and 5 show what became of it.
void Activar(platform::HttpServer& servidor) {
  try {
    servidor.Activate();
  } catch (...) {
  }
}

void CambiarPuerto(platform::HttpServer& servidor, std::uint16_t puerto) {
  if (!servidor.Active()) {
    servidor.SetPort(puerto);
    return;
  }
  servidor.Deactivate();
  servidor.SetPort(puerto);
  Activar(servidor);
}

// Applies the file's values in order and stops at the first one that is missing, cut short or
// not a number; the values before it stay applied. A file of another version is not looked
// at, colours included.
void AplicarArchivo(TPrograma& P) {
  std::string bytes;
  if (P.RutaConfiguracion.empty() || !LeerArchivoCompleto(P.RutaConfiguracion, &bytes)) return;
  TLector lector(bytes);
  std::int32_t version;
  if (!lector.LeerEntero(&version) || version != P.FileAppVersion) return;
  for (std::atomic<platform::Color>* color :
       {&P.Colores.ColorOrigen, &P.Colores.ColorDestino, &P.Colores.ColorError}) {
    std::uint32_t valor;
    if (!lector.LeerPalabra(&valor)) return;
    color->store(valor);
  }
  for (int fila = 1; fila <= kFilasArchivo; ++fila) {
    std::u16string texto;
    if (!LeerCadena(lector, &texto) || !P.ValidarVariable(fila, texto)) return;
  }
}

}  // namespace

std::u16string TPrograma::QuitarEspacios(const std::u16string& texto) {
  std::u16string s = texto;
  std::erase(s, u' ');
  return s;
}

bool TPrograma::ValidarVariable(int fila, const std::u16string& texto) {
  const std::u16string s = QuitarEspacios(texto);
  if (s.empty()) return true;
  std::int64_t v = 0;
  const bool numero = LeerNumero(s, &v);
  switch (fila) {
    case kMemoriaLibre:
      if (numero) {
        // Whole GiB below the machine's memory, and never less than one.
        const std::int64_t t = Entorno->MemoriaTotal.load() / kGiB;
        if (v >= t) v = t - 1;
        if (v <= 0) v = 1;
        Entorno->MemoriaLibre = v * kGiB;
      }
      Mostrar(*this, fila);
      return numero;
    case kEsperarRespuesta:
      if (numero) {
        const std::int64_t segundos = std::clamp<std::int64_t>(v, 1, 3600);
        Entorno->TiempoError = static_cast<std::uint32_t>(segundos * 1000);
      }
      Mostrar(*this, fila);
      return numero;
    case kUsarCamino:
      UsarCaminoOrigen = s == u"Si";
      Valores[fila - 1] = s;
      return true;
    case kPuertoWeb:
      if (numero && v > 0 && v < 65536 && v != IdHTTPServer->Port()) {
        CambiarPuerto(*IdHTTPServer, static_cast<std::uint16_t>(v));
      }
      Mostrar(*this, kPuertoWeb);
      Mostrar(*this, kServidorWeb);
      return numero;
    case kServidorWeb:
      if (s == u"Si") {
        if (ConServidorEstado && !IdHTTPServer->Active()) Activar(*IdHTTPServer);
      } else {
        IdHTTPServer->Deactivate();
      }
      // The text chosen, also when the server could not start: it is saved and tried again at
      // the next start.
      Valores[fila - 1] = s;
      return true;
    case kVerificar:
      // Jobs queued from now on; a read-back under way goes on.
      Entorno->Verificar = s == u"Si";
      Mostrar(*this, fila);
      return true;
    case kManifiesto:
      Entorno->Manifiesto = s == u"Si";
      Mostrar(*this, fila);
      return true;
    default:
      return true;
  }
}

void TPrograma::LeerConfiguracion() {
  Colores.ColorOrigen = kColorOrigen;
  Colores.ColorDestino = kColorDestino;
  Colores.ColorError = kColorError;
  // 30 % of the machine's memory, not rounded to whole GiB, and at least one.
  const std::int64_t libre = Entorno->MemoriaTotal.load() * 3 / 10;
  Entorno->MemoriaLibre = libre / kGiB == 0 ? kGiB : libre;
  Entorno->TiempoError = kTiempoErrorInicial;
  UsarCaminoOrigen = true;
  IdHTTPServer->Deactivate();
  IdHTTPServer->SetPort(kPuertoInicial);
  try {
    AplicarArchivo(*this);
  } catch (...) {
    // Out of memory while reading: start-up goes on with what was applied.
  }
  const TAjustesVerificacion verificacion =
      LeerAjustesVerificacion(RutaAjustesVerificacion(RutaConfiguracion));
  Entorno->Verificar = verificacion.Verificar;
  Entorno->Manifiesto = verificacion.Manifiesto;
  for (int fila = 1; fila <= kFilas; ++fila) Mostrar(*this, fila);
}

void TPrograma::GuardarConfiguracion() {
  try {
    std::string bytes;
    EscribirEntero(bytes, FileAppVersion);
    EscribirPalabra(bytes, Colores.ColorOrigen.load());
    EscribirPalabra(bytes, Colores.ColorDestino.load());
    EscribirPalabra(bytes, Colores.ColorError.load());
    for (int fila = 1; fila <= kFilasArchivo; ++fila) EscribirCadena(bytes, Valores[fila - 1]);
    // A file that cannot be written leaves the next start with the old one or the defaults.
    if (RutaConfiguracion.empty()) return;
    // The user's configuration folder may not exist yet; it is the user's alone.
    const std::filesystem::path carpeta = std::filesystem::path(RutaConfiguracion).parent_path();
    std::error_code error;
    if (!carpeta.empty() && !std::filesystem::exists(carpeta, error) &&
        std::filesystem::create_directories(carpeta, error)) {
      std::filesystem::permissions(carpeta, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, error);
    }
    EscribirArchivoCompleto(RutaConfiguracion, bytes);
    GuardarAjustesVerificacion(RutaAjustesVerificacion(RutaConfiguracion),
                               {Entorno->Verificar.load(), Entorno->Manifiesto.load()});
  } catch (...) {
  }
}

#include "records/ArchivoLista.h"

#include "platform/paths.h"

bool NombreEnVolumen(const std::u16string& nombre) {
  std::size_t inicio = 0;
  for (;;) {
    const std::size_t fin = nombre.find(u'\\', inicio);
    const std::u16string componente = nombre.substr(inicio, fin - inicio);
    if (componente.empty() || componente == u"." || componente == u"..") return false;
    if (componente.find_first_of(std::u16string(u"/\0", 2)) != std::u16string::npos) {
      return false;
    }
    std::string bytes;
    if (!platform::EncodeName(componente, &bytes)) return false;
    if (fin == std::u16string::npos) return true;
    inicio = fin + 1;
  }
}

TLecturaRegistro LeerRegistroLista(TLector& SM, TRegistroLista* registro) {
  TFRec rec;
  std::int32_t cuenta;
  if (!rec.LeerOrigen(SM) || !LeerCadena(SM, &rec.DNombre) || !SM.LeerEntero(&cuenta) ||
      cuenta < 0 || static_cast<std::size_t>(cuenta) > SM.Restante() / 4) {
    return TLecturaRegistro::Fallo;
  }
  std::vector<std::uint32_t> series(static_cast<std::size_t>(cuenta));
  for (std::uint32_t& serie : series) SM.LeerPalabra(&serie);  // the bytes are there
  if (!NombreEnVolumen(rec.ONombre) || !NombreEnVolumen(rec.DNombre) || rec.Talla < 0 ||
      rec.Talla > kTallaMaxima) {
    return TLecturaRegistro::Rechazado;
  }
  registro->Rec = std::move(rec);
  registro->Series = std::move(series);
  return TLecturaRegistro::Aceptado;
}

TListaCopiaLeida LeerListaCopia(std::string_view bytes) {
  TListaCopiaLeida lista;
  TLector lector(bytes);
  if (!lector.LeerPalabra(&lista.Origen) || !lector.LeerEntero(&lista.Cuenta)) {
    lista.Danada = true;
    return lista;
  }
  lista.ConOrigen = true;
  if (lista.Cuenta < 0) {
    lista.Danada = true;
    return lista;
  }
  // Nothing is sized by the count: a record is only kept once its bytes were there.
  for (std::int32_t i = 0; i < lista.Cuenta; ++i) {
    TRegistroLista registro;
    switch (LeerRegistroLista(lector, &registro)) {
      case TLecturaRegistro::Aceptado:
        lista.Registros.push_back(std::move(registro));
        break;
      case TLecturaRegistro::Rechazado:
        ++lista.Rechazados;
        break;
      case TLecturaRegistro::Fallo:
        lista.Danada = true;
        return lista;
    }
  }
  return lista;
}

// Copy lists: the source's queue saved to a file, and queued again later with the drives
// recognised by their volume serials, so that a list outlives the letters they had.
#include <mutex>

#include "engine/RegistroCopia.h"
#include "records/Codificacion.h"
#include "app/ColaBloqueada.h"
#include "app/Ocupado.h"
#include "app/TPrograma.h"
#include "app/TallaStr.h"
#include "platform/locale.h"

namespace {

// The end of both commands however they end: no progress shown. An open also gives back the
// buttons of queued work.
class TFinLista {
 public:
  TFinLista(TPrograma& programa, bool abrir) : programa_(programa), abrir_(abrir) {}
  ~TFinLista() {
    programa_.ProgresoValor = 0;
    programa_.ProgresoTexto.clear();
    if (abrir_) {
      programa_.Botones[ToolButtonContinuarDetener].Enabled = true;
      programa_.Botones[ToolButtonPriorizar].Enabled = true;
    }
  }
  TFinLista(const TFinLista&) = delete;
  TFinLista& operator=(const TFinLista&) = delete;

 private:
  TPrograma& programa_;
  const bool abrir_;
};

}  // namespace

void TPrograma::ToolButtonAbrirGuardarClick() {
  std::string ruta;
  if (Botones[ToolButtonAbrirGuardar].ImageIndex == 3) {
    // A name once chosen is kept for the rest of the run: later saves write to it again.
    if (RutaListaGuardada.empty()) {
      if (!DialogoGuardar || !DialogoGuardar(&ruta)) return;
      RutaListaGuardada = ruta;
    }
    GuardarLista(RutaListaGuardada);
  } else {
    if (OCopia || !DialogoAbrir || !DialogoAbrir(&ruta)) return;
    AbrirLista(ruta);
  }
}

void TPrograma::GuardarLista(const std::string& ruta) {
  if (!OCopia) return;
  TBarraOcupada ocupada(*this);
  TFinLista fin(*this, false);
  try {
    ProgresoTexto = u"Guardando lista";
    std::string bytes;
    EscribirPalabra(bytes, OCopia->GetAppRec().ID);
    std::int64_t n_guardados = 0;
    {
      TColaBloqueada cola(*OCopia);
      const std::int64_t n = static_cast<std::int64_t>((*cola).size());
      n_guardados = n;
      EscribirEntero(bytes, static_cast<std::int32_t>(n));
      for (std::int64_t i = 0; i < n; ++i) {
        // Only the bar: the window's messages wait, as the source's queue is held.
        if (AvanzarProgreso(i, n) && RepintarMemoria) RepintarMemoria();
        EscribirTodo(*(*cola)[i], *OCopia, bytes);
      }
    }
    // Neither a file that cannot be written nor a failure above is reported.
    EscribirArchivoCompleto(ruta, bytes);
    Aviso = (n_guardados == 0 ? u"La cola está vacía: la lista guardada no tiene nada que copiar ("
                              : u"Lista de copia guardada: " + EnteroStr(n_guardados) +
                                    u" entradas (") +
            platform::FromUtf8(ruta) + u").";
  } catch (...) {
  }
}

void TPrograma::AbrirLista(const std::string& ruta) {
  if (OCopia) return;
  ProgresoTexto = u"Creando lista";
  TBarraOcupada ocupada(*this);
  TFinLista fin(*this, true);
  try {
    std::string bytes;
    if (!LeerArchivoCompleto(ruta, &bytes)) return;
    TLector lector(bytes);
    const std::vector<TDHilo*> por_id = ListaPorID();
    std::uint32_t serie;
    if (!lector.LeerPalabra(&serie)) return;
    TDHilo* origen = EncontrarID(por_id, serie);
    if (origen == nullptr) {
      Aviso = u"El volumen de origen de la lista no está conectado: conéctelo, pulse Actualizar "
              u"y vuelva a abrir la lista.";
      if (MostrarMensaje) MostrarMensaje(u"Origen de copia no valido");
      return;
    }
    for (const auto& hilo : DList) {
      if (hilo.get() != origen) continue;
      AsignarOrigen(hilo);
      break;
    }
    EmpezarTrabajos();
    std::int32_t leidos = 0;
    {
      // A record cut short or missing ends the reading; those queued before it stay.
      std::unique_lock<std::shared_mutex> escritura(SincronizadorListas);
      std::int32_t n;
      if (lector.LeerEntero(&n)) {
        for (std::int32_t i = 0; i < n && OCopia->LeerFR(lector, por_id); ++i) {
          ++leidos;
          if (AvanzarProgreso(i, n)) Refrescar();
        }
      }
    }
    Aviso = leidos == 0 ? u"La lista de copia no tiene nada que copiar."
                        : u"Lista de copia abierta: " + EnteroStr(leidos) + u" entradas en cola.";
    for (const auto& hilo : DList) hilo->GetEspacioLibre();
    Vista.Repaint();
    if (ProcesarMensajes) ProcesarMensajes();
  } catch (...) {
    // Silenced here: what was queued stays queued and the source stays chosen.
  }
}

// The toolbar commands that live in the main window: stop/continue, prioritise, cancel, the
// drop mode and the settings/progress view.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/ModoArrastre.h"
#include "app/Ocupado.h"
#include "app/UnidadEnAviso.h"
#include "app/SinCopiar.h"
#include "app/TPrograma.h"

namespace {

// The stop/continue button is enabled again however its click ends.
class TBotonDeshabilitado {
 public:
  explicit TBotonDeshabilitado(TBoton& boton) : boton_(boton) { boton_.Enabled = false; }
  ~TBotonDeshabilitado() { boton_.Enabled = true; }
  TBotonDeshabilitado(const TBotonDeshabilitado&) = delete;
  TBotonDeshabilitado& operator=(const TBotonDeshabilitado&) = delete;

 private:
  TBoton& boton_;
};

}  // namespace

void TPrograma::ToolButtonContinuarDetenerClick() {
  TBoton& boton = Botones[ToolButtonContinuarDetener];
  TBotonDeshabilitado deshabilitado(boton);
  // Each worker stops where it holds no lock, so commands that take its lists go on working.
  if (boton.ImageIndex == 0) {
    for (const auto& hilo : DList) hilo->Suspend();
    boton.ImageIndex = 1;
    boton.Hint = u"Continuar operaciones.";
  } else {
    for (const auto& hilo : DList) hilo->Resume();
    boton.ImageIndex = 0;
    boton.Hint = u"Detener operaciones.";
  }
  // A second click cannot follow before the workers have had a turn to take the first.
  std::this_thread::sleep_for(std::chrono::milliseconds(Entorno->IntervaloTimer.load()));
}

void TPrograma::ToolButtonPriorizarClick() {
  if (!OCopia) {
    Aviso = u"Aún no hay copia: no hay nada que priorizar.";
    return;
  }
  TBarraOcupada ocupada(*this);
  const int foco = Vista.ItemIndex();
  const TDHilo* elegido =
      foco >= 0 && foco < static_cast<int>(DList.size()) ? DList[foco].get() : nullptr;
  // Without a focused item no record goes first (no worker has identity 0); the queue is only
  // sorted.
  OCopia->PriorizarDestino(elegido ? elegido->GetId() : 0);
  if (elegido == nullptr) {
    Aviso = u"Ninguna memoria enfocada: la cola solo se ha ordenado.";
  } else if (elegido == OCopia.get()) {
    Aviso = u"El origen no se prioriza: elija una memoria de destino y vuelva a pulsar.";
  } else {
    const THRec rec = elegido->GetAppRec();
    Aviso = u"Primero se copia a " + rec.Nombre + u" (" + rec.Letra + u").";
  }
}

void TPrograma::ToolButtonCancelarClick() {
  Botones[ToolButtonCancelar].Enabled = false;
  {
    TCursorOcupado cursor(*this);
    try {
      const int items = std::min(static_cast<int>(DList.size()), Vista.Count());
      if (!OCopia) {
        std::unique_lock<std::shared_mutex> escritura(SincronizadorListas);
        for (int i = items; i-- > 0;) {
          if (!Vista.Selected(i)) continue;
          const std::shared_ptr<TDHilo> hilo = DList[i];
          DList.erase(DList.begin() + i);
          hilo->Terminate();  // wakes it too if it was stopped
        }
        for (int i = items; i-- > 0;) {
          if (Vista.Selected(i)) Vista.Delete(i);
        }
      } else {
        // The source is never cancelled.
        for (int i = items; i-- > 0;) {
          if (DList[i] == OCopia) Vista.SetSelected(i, false);
        }
        std::unique_lock<std::shared_mutex> escritura(SincronizadorListas);
        std::vector<std::shared_ptr<TDHilo>> elegidos;
        for (int i = items; i-- > 0;) {
          DList[i]->Seleccionado = Vista.Selected(i);
          if (DList[i]->Seleccionado) elegidos.push_back(DList[i]);
        }
        // Looked at before the work is taken away, while the ledger still says what each was
        // given; the file under way is not whole yet, so it is named too.
        const TRaicesDestinos raices(*Entorno->Env, elegidos, OCopia.get());
        std::u16string avisos;
        for (int i = items; i-- > 0;) {
          if (Vista.Selected(i)) Vista.Delete(i);
        }
        for (int i = items; i-- > 0;) {
          const std::shared_ptr<TDHilo> hilo = DList[i];
          if (!hilo->Seleccionado) continue;
          const THRec unidad = hilo->GetAppRec();
          // Built by appending, the notices in the rows' order.
          std::u16string aviso = u"Cancelado en ";
          aviso += UnidadEnAviso(unidad);
          aviso += u": ";
          aviso += SinCopiar(Encargos, raices, unidad.ID);
          if (!avisos.empty()) {
            aviso += u' ';
            aviso += avisos;
          }
          avisos = std::move(aviso);
          Encargos.Quitar(unidad.ID);
          OCopia->EliminarFiles(hilo->GetId());
          OCopia->AgregarEliminarDestino(hilo);
          DList.erase(DList.begin() + i);
          // Out of DList no continue reaches it: stopped, it would hold on to its operations
          // until the source gets round to ending it.
          hilo->Resume();
        }
        if (!avisos.empty()) Aviso = avisos;
      }
    } catch (...) {
      // Cancel silences its failures; its button and the cursor come back below.
    }
  }
  Botones[ToolButtonCancelar].Enabled = !DList.empty();
}

void TPrograma::ToolButtonSumarRestarClick() {
  TBoton& boton = Botones[ToolButtonSumarRestar];
  if (ModoEliminar(boton)) {
    PonerModoAgregar(boton);
  } else {
    PonerModoEliminar(boton);
  }
}

void TPrograma::ToolButtonAjusteProgresoClick() {
  TBoton& boton = Botones[ToolButtonAjusteProgreso];
  if (PanelConfigurarVisible) {
    PanelConfigurarVisible = false;
    boton.ImageIndex = 10;
    boton.Hint = u"Ajustes.";
  } else {
    PanelConfigurarVisible = true;
    boton.ImageIndex = 11;
    boton.Hint = u"Progreso.";
  }
}

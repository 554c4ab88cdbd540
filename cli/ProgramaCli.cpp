#include "cli/ProgramaCli.h"

#include <algorithm>
#include <thread>

TProgramaCli::TProgramaCli() {
  programa_.ConServidorEstado = false;
  // No window waits on the probes here, and a stick may be named by its label or serial: a busy
  // machine's slow answer must not leave it nameless. A stick that never answers still ends the
  // wait.
  programa_.PlazoSondeo = std::chrono::seconds(10);
  programa_.MostrarMensaje = [this](const std::u16string& texto) { mensajes_.push_back(texto); };
  programa_.FormCreate();
  // FormCreate focuses and selects the last row, as the window starts; nothing here is chosen
  // until a command chooses it.
  Seleccionar({});
  Recordar();
}

TProgramaCli::~TProgramaCli() {
  if (!cerrado_) Cerrar(LimiteCierre());
}

void TProgramaCli::Actualizar() {
  programa_.ToolButtonActualizarClick();
  Recordar();
}

void TProgramaCli::Recordar() {
  for (const auto& hilo : programa_.DList) {
    if (std::find(conocidos_.begin(), conocidos_.end(), hilo) == conocidos_.end()) {
      conocidos_.push_back(hilo);
    }
  }
}

void TProgramaCli::Seleccionar(const std::vector<std::shared_ptr<TDHilo>>& hilos) {
  const int n = std::min(static_cast<int>(programa_.DList.size()), vista_.Count());
  for (int i = 0; i < n; ++i) {
    const bool elegido =
        std::find(hilos.begin(), hilos.end(), programa_.DList[i]) != hilos.end();
    vista_.SetSelected(i, elegido);
  }
  vista_.SetItemIndex(-1);
}

std::vector<std::u16string> TProgramaCli::TomarMensajes() { return std::move(mensajes_); }

std::chrono::milliseconds TProgramaCli::LimiteCierre() const {
  return std::chrono::milliseconds(programa_.Entorno->TiempoError.load()) +
         std::chrono::seconds(5);
}

bool TProgramaCli::Cerrar(std::chrono::milliseconds limite) {
  cerrado_ = true;
  Recordar();
  programa_.TerminarDispositivos();
  const auto fin = std::chrono::steady_clock::now() + limite;
  for (;;) {
    const bool todos = std::all_of(conocidos_.begin(), conocidos_.end(),
                                   [](const auto& hilo) { return hilo->Finished(); });
    if (todos) return true;
    if (std::chrono::steady_clock::now() >= fin) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

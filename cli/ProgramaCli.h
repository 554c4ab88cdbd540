// The program core as the command line runs it: the same TPrograma and settings file as the
// window, a device list that draws nothing, no status server, and an end that waits for the
// workers a bounded time.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/TPrograma.h"
#include "cli/VistaSinDibujo.h"

class TProgramaCli {
 public:
  // Reads the settings beside the executable (the window's, when both are installed side by
  // side) and lists the drives, one worker each. The settings file is never written.
  TProgramaCli();
  // Ends the workers if Cerrar has not.
  ~TProgramaCli();
  TProgramaCli(const TProgramaCli&) = delete;
  TProgramaCli& operator=(const TProgramaCli&) = delete;

  TPrograma& Programa() { return programa_; }
  TVistaSinDibujo& Vista() { return vista_; }

  // The drive refresh, as the window's button does it.
  void Actualizar();
  // Exactly these workers selected in the device list, and no focus.
  void Seleccionar(const std::vector<std::shared_ptr<TDHilo>>& hilos);
  // What the program would have shown in a message box, oldest first; taken.
  std::vector<std::u16string> TomarMensajes();

  // Ends every worker and waits until each has ended, at most `limite`; false when one is still
  // running then (the caller must not let static objects go while it runs).
  bool Cerrar(std::chrono::milliseconds limite);
  // How long a worker may take to end: its wait for a completion, and some more.
  std::chrono::milliseconds LimiteCierre() const;

 private:
  void Recordar();

  TVistaSinDibujo vista_;
  TPrograma programa_{vista_};
  std::vector<std::u16string> mensajes_;
  // Every worker the program has had, so that the end waits for all of them.
  std::vector<std::shared_ptr<TDHilo>> conocidos_;
  bool cerrado_ = false;
};

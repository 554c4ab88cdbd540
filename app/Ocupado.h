// The busy state of the main window for the life of an object: the hourglass alone, or the
// hourglass with the whole toolbar disabled (a long command runs, and neither drops nor
// toolbar commands are taken until it ends). Main thread.
#pragma once

#include "app/TPrograma.h"

class TCursorOcupado {
 public:
  explicit TCursorOcupado(TPrograma& programa) : programa_(programa) {
    if (programa_.CursorOcupado) programa_.CursorOcupado(true);
  }
  ~TCursorOcupado() {
    if (programa_.CursorOcupado) programa_.CursorOcupado(false);
  }
  TCursorOcupado(const TCursorOcupado&) = delete;
  TCursorOcupado& operator=(const TCursorOcupado&) = delete;

 private:
  TPrograma& programa_;
};

class TBarraOcupada {
 public:
  explicit TBarraOcupada(TPrograma& programa) : programa_(programa), cursor_(programa) {
    programa_.ToolbarEnabled = false;
  }
  ~TBarraOcupada() { programa_.ToolbarEnabled = true; }
  TBarraOcupada(const TBarraOcupada&) = delete;
  TBarraOcupada& operator=(const TBarraOcupada&) = delete;

 private:
  TPrograma& programa_;
  TCursorOcupado cursor_;
};

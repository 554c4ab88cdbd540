// The drop mode, kept in the image of the add/delete button: 8 deletes, anything else adds.
#pragma once

#include "app/TPrograma.h"

inline bool ModoEliminar(const TBoton& boton) { return boton.ImageIndex == 8; }

inline void PonerModoAgregar(TBoton& boton) {
  boton.ImageIndex = 7;
  boton.Hint = u"Al arrastrar agregar.";
}

inline void PonerModoEliminar(TBoton& boton) {
  boton.ImageIndex = 8;
  boton.Hint = u"Al arrastar eliminar.";
}

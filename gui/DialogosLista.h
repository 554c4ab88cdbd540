// The open and save dialogs of copy lists, as the program's hooks want them: true with the
// chosen file's Linux path, false when the user cancels.
#pragma once

#include <string>

class QWidget;

bool DialogoAbrirLista(QWidget* ventana, std::string* ruta);
// Never asks before writing over an existing file: a list is saved again and again.
bool DialogoGuardarLista(QWidget* ventana, std::string* ruta);

// The small (16 x 16) icons of the status page as ICO files: the program's own and the one the
// desktop gives each kind of drive. Qt's icons belong to the GUI thread while the page is built
// on the HTTP server's threads, so every icon is made once, on the GUI thread, and then only
// read.
#pragma once

#include <QIcon>
#include <functional>
#include <string>

// The program's icon, drawn in code.
QIcon IconoPrograma();

// GUI thread. The hook TPrograma::IconoIco: from any thread, the ICO bytes of the small icon of
// the program file `ruta_programa` (the icon `programa`) or of the mount point of a removable,
// fixed or remote drive (the theme's icon for its kind); empty for any other path, a drive that
// is gone, or an icon that could not be encoded.
std::function<std::string(const std::string& ruta_linux)> CrearIconosIco(
    const QIcon& programa, const std::string& ruta_programa);

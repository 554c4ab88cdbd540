// The status page: the program, every drive of the device list with its state, and the
// computer's date and time, rebuilt for every request on the HTTP server's threads.
#pragma once

#include <string>

#include "app/TPrograma.h"

// Has P's status server answer with the page below. Call before the server can be activated
// (before FormCreate), since the server's threads read the hook without a lock.
void ConectarPaginaWeb(TPrograma& P);

// The page for one request (any method, any path), with the drives in the order of P.DList.
std::u16string IdHTTPServerCommandGet(TPrograma& P);
// A worker's line of the page.
std::u16string GetWebStr(const TInstantanea& foto);
// The image element of the small icon of the drive mounted at `montaje`; empty without an icon
// or when no drive of the table is mounted there any more.
std::u16string ImgRuta(const TPrograma& P, const std::string& montaje);
std::u16string ImgIcono(const std::string& ico);

// The status page: the program, every drive of the device list with its state, and the
// computer's date and time, rebuilt for every request on the HTTP server's threads.
#pragma once

#include <string>
#include <string_view>

#include "app/TPrograma.h"

// Has P's status server answer with ResponderHTTP. Call before the server can be activated
// (before FormCreate), since the server's threads read the hook without a lock.
void ConectarPaginaWeb(TPrograma& P);

// The answer to one request (any method): GET /status.json (whatever its query) gets the JSON
// status (web/EstadoJson.h); every other target gets the page below, in ISO-8859-1, which
// reloads itself every N seconds when the query holds refresh=N (N from 1 to 3600; any other
// value is ignored).
platform::HttpAnswer ResponderHTTP(TPrograma& P, std::string_view destino);
// The N of a target's refresh=N, or 0 when it has none that counts.
int SegundosRecarga(std::string_view destino);

// The page, with the drives in the order of P.DList; with `recarga` not 0, it asks the browser
// to load it again after that many seconds.
std::u16string IdHTTPServerCommandGet(TPrograma& P, int recarga = 0);
// A worker's line of the page.
std::u16string GetWebStr(const TInstantanea& foto);
// The image element of the small icon of the drive mounted at `montaje`; empty without an icon
// or when no drive of the table is mounted there any more.
std::u16string ImgRuta(const TPrograma& P, const std::string& montaje);
std::u16string ImgIcono(const std::string& ico);

// The commands of the command line, each from its arguments to its exit status.
#pragma once

#include "cli/Argumentos.h"
#include "cli/Senales.h"

// drives: every volume the program lists.
int OrdenUnidades(const TArgumentos& argumentos);
// copy: the PATHs to the destinations, as a drop would queue them, followed to the end.
int OrdenCopiar(const TArgumentos& argumentos, TSenales& senales);
// list: the listing of each destination.
int OrdenListar(const TArgumentos& argumentos);
// open: a saved copy list queued again and followed to the end.
int OrdenAbrir(const TArgumentos& argumentos, TSenales& senales);
// verify: each destination read back against the manifest its copy left, copying nothing.
int OrdenVerificar(const TArgumentos& argumentos, TSenales& senales);

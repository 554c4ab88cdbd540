// orsanta-cli: the program's copies from the command line, without a window (README.md, "The
// command line").
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Argumentos.h"
#include "cli/Ordenes.h"
#include "cli/Salida.h"
#include "cli/Senales.h"

int main(int argc, char** argv) {
  const std::vector<std::string> palabras(argv + 1, argv + argc);
  TArgumentos argumentos;
  std::string error;
  if (!LeerArgumentos(palabras, &argumentos, &error)) {
    Avisar(error);
    std::fputs("orsanta-cli --help muestra el uso\n", stderr);
    return kSalidaUso;
  }
  switch (argumentos.Comando) {
    case TComando::Ayuda:
      std::fputs(Uso().c_str(), stdout);
      return kSalidaBien;
    case TComando::Unidades:
      return OrdenUnidades(argumentos);
    case TComando::Listar:
      return OrdenListar(argumentos);
    case TComando::Copiar:
    case TComando::Abrir:
    case TComando::Verificar:
      break;
  }
  // A copy or a check is ended cleanly on a signal: taken before any thread starts, so that all
  // of them inherit the blocked signals. The other commands end at once, as any command does.
  TSenales senales;
  switch (argumentos.Comando) {
    case TComando::Copiar:
      return OrdenCopiar(argumentos, senales);
    case TComando::Abrir:
      return OrdenAbrir(argumentos, senales);
    default:
      return OrdenVerificar(argumentos, senales);
  }
}

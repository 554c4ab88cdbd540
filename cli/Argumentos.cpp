#include "cli/Argumentos.h"

#include <string_view>

namespace {

bool Fallar(std::string* error, std::string texto) {
  *error = std::move(texto);
  return false;
}

bool LeerComando(std::string_view palabra, TComando* comando) {
  if (palabra == "drives") {
    *comando = TComando::Unidades;
  } else if (palabra == "copy") {
    *comando = TComando::Copiar;
  } else if (palabra == "list") {
    *comando = TComando::Listar;
  } else if (palabra == "open") {
    *comando = TComando::Abrir;
  } else if (palabra == "verify") {
    *comando = TComando::Verificar;
  } else if (palabra == "help") {
    *comando = TComando::Ayuda;
  } else {
    return false;
  }
  return true;
}

const char* NombreComando(TComando comando) {
  switch (comando) {
    case TComando::Unidades:
      return "drives";
    case TComando::Copiar:
      return "copy";
    case TComando::Listar:
      return "list";
    case TComando::Abrir:
      return "open";
    case TComando::Verificar:
      return "verify";
    case TComando::Ayuda:
      break;
  }
  return "help";
}

// Which options each command takes.
bool Admite(TComando comando, std::string_view opcion) {
  if (opcion == "--json") return comando != TComando::Ayuda;
  if (opcion == "--to") {
    return comando == TComando::Copiar || comando == TComando::Listar ||
           comando == TComando::Verificar;
  }
  if (opcion == "--eject" || opcion == "--verify" || opcion == "--no-verify") {
    return comando == TComando::Copiar || comando == TComando::Abrir;
  }
  return false;
}

}  // namespace

bool LeerArgumentos(const std::vector<std::string>& palabras, TArgumentos* argumentos,
                    std::string* error) {
  *argumentos = TArgumentos();
  if (palabras.empty()) return Fallar(error, "falta la orden");
  const std::string_view primera = palabras[0];
  if (primera == "--help" || primera == "-h") return true;
  if (!LeerComando(primera, &argumentos->Comando)) {
    return Fallar(error, "orden desconocida: " + std::string(primera));
  }
  const TComando comando = argumentos->Comando;
  const std::string nombre = NombreComando(comando);
  bool solo_operandos = false;
  for (std::size_t i = 1; i < palabras.size(); ++i) {
    const std::string& palabra = palabras[i];
    if (solo_operandos || palabra.empty() || palabra[0] != '-' || palabra == "-") {
      argumentos->Operandos.push_back(palabra);
      continue;
    }
    if (palabra == "--") {
      solo_operandos = true;
      continue;
    }
    if (palabra == "--help" || palabra == "-h") {
      argumentos->Comando = TComando::Ayuda;
      return true;
    }
    // "--to SPEC" or "--to=SPEC".
    const std::size_t igual = palabra.find('=');
    const std::string opcion = palabra.substr(0, igual);
    if (!Admite(comando, opcion)) {
      return Fallar(error, nombre + " no admite la opción " + opcion);
    }
    if (opcion == "--to") {
      std::string valor;
      if (igual != std::string::npos) {
        valor = palabra.substr(igual + 1);
      } else if (i + 1 < palabras.size()) {
        valor = palabras[++i];
      } else {
        return Fallar(error, "a --to le falta el destino");
      }
      if (valor.empty()) return Fallar(error, "--to con un destino vacío");
      argumentos->Destinos.push_back(valor);
      continue;
    }
    if (igual != std::string::npos) return Fallar(error, opcion + " no lleva valor");
    if (opcion == "--json") {
      argumentos->Json = true;
    } else if (opcion == "--eject") {
      argumentos->Expulsar = true;
    } else if (opcion == "--verify" || opcion == "--no-verify") {
      if (argumentos->Verificar.has_value() && *argumentos->Verificar != (opcion == "--verify")) {
        return Fallar(error, "--verify y --no-verify juntos");
      }
      argumentos->Verificar = opcion == "--verify";
    }
  }

  const std::size_t operandos = argumentos->Operandos.size();
  switch (comando) {
    case TComando::Ayuda:
      if (operandos != 0) return Fallar(error, "help no lleva argumentos");
      break;
    case TComando::Unidades:
      if (operandos != 0) return Fallar(error, "drives no lleva argumentos");
      break;
    case TComando::Copiar:
      if (operandos == 0) return Fallar(error, "copy necesita al menos una RUTA que copiar");
      break;
    case TComando::Listar:
      if (operandos != 0) return Fallar(error, "list no lleva argumentos, solo --to DESTINO");
      if (argumentos->Destinos.empty()) return Fallar(error, "list necesita --to DESTINO");
      break;
    case TComando::Abrir:
      if (operandos != 1) return Fallar(error, "open necesita un ARCHIVO.orsc, uno solo");
      break;
    case TComando::Verificar:
      if (operandos != 0) return Fallar(error, "verify no lleva argumentos, solo --to DESTINO");
      break;
  }
  return true;
}

std::string Uso() {
  return "Uso: orsanta-cli ORDEN [OPCIONES] [ARGUMENTOS]\n"
         "\n"
         "  drives [--json]\n"
         "      Los volúmenes que el programa lista: unidad, etiqueta, serie, tipo, tamaño,\n"
         "      espacio libre, sector y punto de montaje.\n"
         "  copy [--to DESTINO]... [--verify|--no-verify] [--eject] [--json] RUTA...\n"
         "      Copia las RUTAS (archivos o carpetas de un mismo volumen, como al arrastrarlas)\n"
         "      a los destinos, con las reglas del arrastre: listados, y lo que un destino ya\n"
         "      tiene con la misma talla y el mismo minuto no se copia. Sin --to, a\n"
         "      \"removable\".\n"
         "  list --to DESTINO... [--json]\n"
         "      Crea el listado de cada destino.\n"
         "  open [--verify|--no-verify] [--eject] [--json] ARCHIVO.orsc\n"
         "      Copia según una lista de copia guardada.\n"
         "  verify [--to DESTINO]... [--json]\n"
         "      Lee de nuevo cada archivo que el manifiesto (orsanta.xxh128) de cada destino\n"
         "      lista y lo compara, sin copiar nada: nombra los que faltan o difieren. Sin\n"
         "      --to, a \"removable\".\n"
         "\n"
         "DESTINO: la etiqueta de un volumen (todos los que la tengan), su número de serie\n"
         "(8 dígitos hexadecimales), su punto de montaje, o \"removable\": todos los volúmenes\n"
         "extraíbles salvo el de origen y el del sistema.\n"
         "\n"
         "  --eject      vacía y desmonta cada destino en cuanto termina\n"
         "  --verify     lee de nuevo cada copia y la compara (como dicen los ajustes, si no)\n"
         "  --no-verify  no la lee de nuevo\n"
         "  --json       un objeto JSON por línea y por suceso\n"
         "\n"
         "Estado de salida: 0 todos los destinos terminados (o verificados); 1 alguno\n"
         "fallido, quitado o que no coincide;\n"
         "2 uso o datos incorrectos, sin haber escrito nada; 130 Ctrl-C; 143 SIGTERM.\n";
}

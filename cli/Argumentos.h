// The command line's words read by hand: a command, its options and its operands. Nothing is
// looked up here, so that a usage error is found before the program starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TComando { Ayuda, Unidades, Copiar, Listar, Abrir, Verificar };

struct TArgumentos {
  TComando Comando = TComando::Ayuda;
  std::vector<std::string> Destinos;  // each --to SPEC, in order
  std::vector<std::string> Operandos; // copy: PATH...; open: FILE
  bool Json = false;                  // --json
  bool Expulsar = false;              // --eject
  // copy and open: --verify (true) or --no-verify (false) over the settings' read-back; unset,
  // the settings decide.
  std::optional<bool> Verificar;
};

// False, with the message for the user, when the words (argv without the program's name) are
// no valid command line.
bool LeerArgumentos(const std::vector<std::string>& palabras, TArgumentos* argumentos,
                    std::string* error);

// The usage text (UTF-8).
std::string Uso();

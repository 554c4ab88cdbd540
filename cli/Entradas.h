// The PATH operands of a copy: what a drop would give the program, checked first. Each must
// exist and lie on one mounted volume that the program lists, the same for all of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/TPrograma.h"

struct TEntradas {
  std::vector<std::string> Rutas;   // absolute, as the drop takes them
  std::shared_ptr<TDHilo> Origen;   // the worker of the volume that holds them
};

// False with the message for the user when an operand does not exist, is on no mounted volume
// or on one the program does not list (a file system below a listed volume's mount point, as
// /dev or a tmpfs below "/", is not that volume), or when the operands lie on two volumes.
bool LeerEntradas(const std::vector<std::string>& operandos,
                  const std::vector<std::shared_ptr<TDHilo>>& lista, TEntradas* entradas,
                  std::string* error);

// An operand as an absolute path: relative ones below the working folder, "." and ".." taken
// away, the folder that holds it with its links resolved (the entry itself is kept as named),
// no slash at the end.
std::string RutaAbsoluta(const std::string& operando);

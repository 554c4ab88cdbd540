#include "cli/Entradas.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/paths.h"

namespace fs = std::filesystem;

std::string RutaAbsoluta(const std::string& operando) {
  std::error_code error;
  fs::path ruta = fs::absolute(operando, error).lexically_normal();
  if (error) return operando;
  std::string texto = ruta.string();
  while (texto.size() > 1 && texto.back() == '/') texto.pop_back();
  ruta = texto;
  if (texto == "/") return texto;
  const fs::path carpeta = fs::canonical(ruta.parent_path(), error);
  if (error) return texto;
  return (carpeta / ruta.filename()).string();
}

bool LeerEntradas(const std::vector<std::string>& operandos,
                  const std::vector<std::shared_ptr<TDHilo>>& lista, TEntradas* entradas,
                  std::string* error) {
  *entradas = TEntradas();
  std::string montaje_origen;
  for (const std::string& operando : operandos) {
    const std::string ruta = RutaAbsoluta(operando);
    struct stat datos;
    if (lstat(ruta.c_str(), &datos) != 0) {
      *error = operando + ": " + std::strerror(errno);
      return false;
    }
    std::string montaje;
    std::u16string camino;
    if (!platform::ToDrivePath(ruta, &montaje, &camino)) {
      *error = operando + ": no está en ningún volumen montado";
      return false;
    }
    // The volume that holds it is the one mounted there, not one the table leaves out (a
    // tmpfs, /dev) mounted below it.
    struct stat volumen;
    if (stat(montaje.c_str(), &volumen) != 0 || volumen.st_dev != datos.st_dev) {
      *error = operando + ": está en un sistema de archivos que el programa no lista";
      return false;
    }
    if (montaje_origen.empty()) {
      montaje_origen = montaje;
    } else if (montaje != montaje_origen) {
      *error = operando + ": está en " + montaje + " y la copia lee de " + montaje_origen +
               "; las rutas de una copia deben estar en un mismo volumen";
      return false;
    }
    entradas->Rutas.push_back(ruta);
  }
  for (const auto& hilo : lista) {
    if (hilo->GetAppRec().Montaje == montaje_origen) entradas->Origen = hilo;
  }
  if (!entradas->Origen) {
    *error = montaje_origen + ": el programa no lista este volumen (orsanta-cli drives muestra "
             "los que lista)";
    return false;
  }
  return true;
}

// One source file or folder still to be copied, with the destination workers that need it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IOUnit/TEspera.h"

class TDHilo;

class TFRec {
 public:
  // Removes DH from the destinations; true when it was there.
  bool EliminarDestino(TDHilo* DH);

  std::u16string ONombre;  // relative to the source drive's root
  std::u16string DNombre;  // relative to each destination drive's root
  std::int64_t Talla = 0;
  std::uint32_t Atributos = 0;
  TFTiempo Tiempo;
  std::vector<TDHilo*> DList;  // destinations, in order; never owned
};

// What a copy run tells as it goes, in one of three forms: lines redrawn in place on a terminal
// (InformeTerminal.cpp), plain timestamped lines when the output is no terminal
// (InformeLineas.cpp), or one JSON object per line and event with --json (InformeJson.cpp).
// Called on the main thread only.
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "cli/Seguido.h"

class TInforme {
 public:
  virtual ~TInforme() = default;
  // The source and the destinations, once the work is queued.
  virtual void Inicio(const TSeguido& origen, const std::vector<TSeguido>& destinos) = 0;
  // A worker's state changed (an event of the engine, in order).
  virtual void CambioEstado(const TSeguido& seguido, TEstado antes, TEstado ahora) = 0;
  // A worker went into error: seguido.Foto holds its code and the file.
  virtual void Error(const TSeguido& seguido) = 0;
  // Every timer tick, with fresh snapshots; each form chooses how often it shows progress.
  virtual void Tic(const TSeguido& origen, const std::vector<TSeguido>& destinos) = 0;
  // A destination's eject ended (seguido.Expulsado, seguido.ErrorExpulsion).
  virtual void Expulsion(const TSeguido& seguido) = 0;
  // A signal cancels the run.
  virtual void Cancelacion(int senal) = 0;
  // The end: how each destination ended and the exit status.
  virtual void Resumen(const TSeguido& origen, const std::vector<TSeguido>& destinos,
                       int estado) = 0;
};

std::unique_ptr<TInforme> InformeTerminal(std::FILE* salida);
std::unique_ptr<TInforme> InformeLineas(std::FILE* salida);
std::unique_ptr<TInforme> InformeJson(std::FILE* salida);
// The form for the output: JSON when asked for, else lines redrawn on a terminal or plain lines.
std::unique_ptr<TInforme> ElegirInforme(bool json, std::FILE* salida);

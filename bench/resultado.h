// What one timed copy to every stick measured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/medidor.h"

struct TFinPalo {
  // Orsanta: s from the start until the engine had written and synced the stick and turned to
  // reading it back (or to its manifest); -1 when not seen.
  double Escrito = -1;
  double Hecho = 0;         // s from the start until the tool reported the stick done
  double Sincronizado = 0;  // s from the start until the stick's syncfs returned
  TContadores AlHecho;      // on the stick when it was reported done (since the start)
  TContadores AlFinal;      // on the stick after the last sync of the run (since the start)
};

struct TResultado {
  std::string Herramienta;
  double Segundos = 0;  // start until the last stick was synced
  double Arrastre = 0;  // s the drop itself took (Orsanta: scan and queueing on the main thread)
  // Orsanta, from the workers' first state events into writing: s from the source's start (the
  // records are queued and it is woken) until the last stick started writing, and from the
  // start of the drop; -1 when not measured.
  double PrimeraEscritura = -1;
  double PrimeraEscrituraArrastre = -1;
  std::vector<TFinPalo> Palos;
  // Orsanta: whether each stick was read back before it was called done, and whether each got
  // the manifest at its root.
  bool Verificar = false;
  bool Manifiesto = false;
  std::int64_t LeidosOrigen = 0;      // bytes the source's device read during the run
  std::int64_t SuciosInicio = 0;      // Dirty + Writeback at the start
  std::int64_t PicoSucios = 0;        // peak Dirty + Writeback of the machine
  std::int64_t PicoSuciosGranja = 0;  // peak dirty pages of the farm's volumes; -1: unknown
  std::int64_t PicoResidente = 0;     // peak resident memory of the copying process(es)
  std::int64_t ResidenteInicio = 0;   // resident memory of the copying process at the start
  double Cpu = 0;                     // CPU seconds of the copying process(es)
  double CpuArnes = 0;                // CPU seconds of the benchmark's own threads meanwhile
  // Memory the tool was allowed (Orsanta only; -1: not bounded): the MemoriaLibre setting, what
  // the engine could allocate before reaching it (MemAvailable at the start minus MemoriaLibre),
  // and the engine's backlog budget derived from the setting.
  std::int64_t MemoriaLibre = -1;
  std::int64_t Presupuesto = -1;
  std::int64_t PresupuestoMotor = -1;
  // Orsanta with --clientes-lentos: the slow clients, the connections they made and the
  // answers (refusals) they got while the copy ran.
  int ClientesLentos = 0;
  int ConexionesLentas = 0;
  int RespuestasLentas = 0;
  std::int64_t Releido = -1;  // Orsanta: source bytes read again for lagging sticks
  std::vector<std::string> Fallos;    // errors and verification failures
};

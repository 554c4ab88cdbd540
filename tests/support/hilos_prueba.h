// Workers brought into the states the device list draws: a source, a destination with
// progress, a destination in error. Each waits until the worker shows that state.
#pragma once

#include <memory>
#include <string>

#include "engine/TDHilo.h"
#include "tests/support/esperar.h"
#include "tests/support/operaciones_prueba.h"

namespace testing_support {

// Owns the counters of the test operations, which outlive the workers' queues.
struct HilosPrueba {
  explicit HilosPrueba(std::shared_ptr<TEntorno> e) : entorno(std::move(e)) {}
  ~HilosPrueba() {
    for (auto& hilo : hilos) hilo->Terminate();
    for (auto& hilo : hilos) Esperar([&] { return hilo->Finished(); });
  }

  std::shared_ptr<TDHilo> Origen(const THRec& rec) {
    auto hilo = Nuevo(rec);
    hilo->EsOrigen();
    origen = hilo;
    return hilo;
  }

  // A destination of the source that has done `hecho` of `total` bytes; its last operation,
  // which the idle operations after it go on showing, is `nombre` at `fpos` of `ftalla` with the
  // progress figures `fstr`.
  std::shared_ptr<TDHilo> ConProgreso(const THRec& rec, std::int64_t total, std::int64_t hecho,
                                      const std::u16string& nombre = u"",
                                      std::int64_t fpos = 0, std::int64_t ftalla = 0,
                                      const TFStr& fstr = {}) {
    auto hilo = Destino(rec);
    hilo->AddDFin(total);
    auto op = std::make_unique<OperacionInmediata>(contadores, hecho);
    op->DNombre = nombre;
    op->ONombre = nombre;
    op->FPos = fpos;
    op->FTalla = ftalla;
    op->FStr = fstr;
    hilo->AgregarIO(std::move(op));
    Esperar([&] {
      return hilo->GetDPos() == hecho && hilo->GetDFin() == total &&
             hilo->GetMuestra().FTalla == ftalla;
    });
    return hilo;
  }

  // A destination with `total` bytes to do whose drive stopped answering while it wrote
  // `nombre` at `fpos` of `ftalla`.
  std::shared_ptr<TDHilo> EnError(const THRec& rec, const std::u16string& nombre,
                                  std::int64_t total = 0, std::int64_t fpos = 0,
                                  std::int64_t ftalla = 0) {
    entorno->TiempoError = 300;
    auto hilo = Destino(rec);
    hilo->AddDFin(total);
    auto op = std::make_unique<OperacionColgada>(contadores, 0);
    op->DNombre = nombre;
    op->FPos = fpos;
    op->FTalla = ftalla;
    hilo->AgregarIO(std::move(op));
    Esperar([&] { return hilo->GetLEC() != 0; });
    return hilo;
  }

  std::shared_ptr<TDHilo> Destino(const THRec& rec) {
    auto hilo = Nuevo(rec);
    hilo->SetOD(origen);
    hilo->EsDestino();
    return hilo;
  }

  std::shared_ptr<TDHilo> Nuevo(const THRec& rec) {
    auto hilo = TDHilo::Create(entorno);
    hilo->SetAppRec(rec);
    hilos.push_back(hilo);
    Esperar([&] { return hilo->GetHRec().ID == rec.ID; });
    return hilo;
  }

  // First, so that it outlives every worker and the operations they hold.
  Contadores contadores;
  std::shared_ptr<TEntorno> entorno;
  std::shared_ptr<TDHilo> origen;
  std::vector<std::shared_ptr<TDHilo>> hilos;
};

}  // namespace testing_support

#include "bench/corrida.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>

#include "bench/sistema.h"

TInicio PrepararPalos(const TCorrida& c) {
  for (const auto& palo : c.Granja.Palos) {
    VaciarVolumen(palo.Montaje);
    SincronizarVolumen(palo.Montaje);
  }
  VaciarCache();
  TInicio inicio;
  for (std::size_t i = 0; i < c.Granja.Palos.size(); ++i) {
    inicio.Palos.push_back(c.Medidor.Leer(i));
  }
  inicio.LeidosOrigen = c.Medidor.LeidosOrigen();
  return inicio;
}

void PorPalo(const TCorrida& c, const std::function<void(std::size_t)>& trabajo, TResultado& r) {
  std::mutex mutex;
  std::vector<std::thread> hilos;
  for (std::size_t i = 0; i < c.Granja.Palos.size(); ++i) {
    hilos.emplace_back([&, i] {
      std::string fallo;
      try {
        trabajo(i);
      } catch (const std::exception& e) {
        fallo = c.Granja.Palos[i].Label + ": " + e.what();
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (!fallo.empty()) r.Fallos.push_back(fallo);
      r.CpuArnes += SegundosCpuHilo();
    });
  }
  for (auto& hilo : hilos) hilo.join();
}

void CerrarPalos(const TCorrida& c, const TInicio& inicio, TResultado& r) {
  r.Segundos = 0;
  for (std::size_t i = 0; i < c.Granja.Palos.size(); ++i) {
    SincronizarVolumen(c.Granja.Palos[i].Montaje);
    r.Palos[i].AlFinal = Diferencia(c.Medidor.Leer(i), inicio.Palos[i]);
    r.Segundos = std::max(r.Segundos, r.Palos[i].Sincronizado);
  }
  r.LeidosOrigen = c.Medidor.LeidosOrigen() - inicio.LeidosOrigen;
}

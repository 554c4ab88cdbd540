#include "app/TSondeos.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

struct TSondeos::TEstado {
  struct TUnidad {
    bool EnCurso = false;
    bool Esperado = false;  // a refresh showed it without an answer
    std::uint64_t Respuestas = 0;
    TSondeo Ultimo;
  };
  std::mutex mutex;
  std::condition_variable respondido;
  std::map<std::string, TUnidad> unidades;  // guarded by mutex; by mount point and name
  bool nuevos = false;                      // guarded by mutex
};

namespace {

std::string Clave(const platform::DriveEntry& unidad) {
  std::string clave = unidad.MountPoint;
  clave.push_back('\0');
  for (char16_t c : unidad.Name) clave.push_back(static_cast<char>(c));
  return clave;
}

}  // namespace

TSondeos::TSondeos() : estado_(std::make_shared<TEstado>()) {}

TSondeos::~TSondeos() = default;

std::vector<TSondeo> TSondeos::Sondear(const std::shared_ptr<platform::Drives>& tabla,
                                       const std::vector<platform::DriveEntry>& unidades,
                                       std::chrono::milliseconds plazo) {
  const auto fin = std::chrono::steady_clock::now() + plazo;
  std::vector<std::string> claves;
  std::vector<std::uint64_t> antes;
  std::unique_lock<std::mutex> lock(estado_->mutex);
  for (const platform::DriveEntry& unidad : unidades) {
    const std::string clave = Clave(unidad);
    claves.push_back(clave);
    TEstado::TUnidad& estado = estado_->unidades[clave];
    antes.push_back(estado.Respuestas);
    if (estado.EnCurso) continue;
    // The thread keeps the shared state and the table alive: it may answer after the program
    // has gone on, or never. A thread that cannot be had (the process's limit) leaves the drive
    // without an answer until the next refresh.
    auto sondear = [estado = estado_, tabla, montaje = unidad.MountPoint, clave] {
      TSondeo sondeo;
      sondeo.Respondido = true;
      sondeo.Legible = tabla->GetVolumeInformation(montaje, &sondeo.Nombre, &sondeo.Serie);
      std::uint32_t sector = 0;
      if (sondeo.Legible && tabla->GetDiskFreeSpace(montaje, &sector)) sondeo.SectorSize = sector;
      std::lock_guard<std::mutex> fin_lock(estado->mutex);
      TEstado::TUnidad& unidad = estado->unidades[clave];
      unidad.EnCurso = false;
      unidad.Ultimo = sondeo;
      ++unidad.Respuestas;
      if (unidad.Esperado) {
        unidad.Esperado = false;
        estado->nuevos = true;
      }
      estado->respondido.notify_all();
    };
    try {
      std::thread(std::move(sondear)).detach();
      estado.EnCurso = true;
    } catch (const std::system_error&) {
    }
  }
  estado_->respondido.wait_until(lock, fin, [&] {
    for (std::size_t i = 0; i < claves.size(); ++i) {
      if (estado_->unidades[claves[i]].Respuestas == antes[i]) return false;
    }
    return true;
  });
  std::vector<TSondeo> resultados;
  for (const std::string& clave : claves) {
    TEstado::TUnidad& unidad = estado_->unidades[clave];
    if (!unidad.Ultimo.Respondido) unidad.Esperado = true;
    resultados.push_back(unidad.Ultimo);
  }
  return resultados;
}

bool TSondeos::Respondidos() {
  std::lock_guard<std::mutex> lock(estado_->mutex);
  return std::exchange(estado_->nuevos, false);
}

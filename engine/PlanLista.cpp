#include "engine/PlanLista.h"

#include <algorithm>
#include <map>

#include "platform/entry_beneath.h"
#include "platform/errors.h"
#include "records/Tallas.h"

namespace {

const TVolumenLista* Buscar(const std::vector<TVolumenLista>& volumenes, std::uint32_t serie) {
  const auto it = std::lower_bound(
      volumenes.begin(), volumenes.end(), serie,
      [](const TVolumenLista& v, std::uint32_t s) { return v.Serie < s; });
  return it != volumenes.end() && it->Serie == serie ? &*it : nullptr;
}

}  // namespace

TPlanLista PlanearLista(platform::Env& env, const TListaCopiaLeida& lista,
                        const std::vector<TVolumenLista>& volumenes,
                        const std::function<void(std::int64_t, std::int64_t)>& progreso) {
  TPlanLista plan;
  plan.Rechazados = lista.Rechazados;
  plan.Danada = lista.Danada;
  const TVolumenLista* origen = lista.ConOrigen ? Buscar(volumenes, lista.Origen) : nullptr;
  if (origen == nullptr) return plan;
  plan.OrigenPresente = true;
  plan.IdOrigen = origen->Id;
  // Each destination is looked at from a handle of its root, opened at its first record.
  struct TRaices {
    platform::Env& env;
    std::map<std::uint32_t, platform::Handle> abiertas;
    platform::Handle De(const TVolumenLista& v) {
      const auto it = abiertas.find(v.Serie);
      if (it != abiertas.end()) return it->second;
      return abiertas[v.Serie] = env.OpenVolumeRoot(v.Montaje);
    }
    ~TRaices() {
      for (const auto& [serie, raiz] : abiertas) {
        if (raiz != platform::kInvalidHandle) env.CloseHandle(raiz);
      }
    }
  } raices{env, {}};
  const std::int64_t total = static_cast<std::int64_t>(lista.Registros.size());
  for (std::int64_t i = 0; i < total; ++i) {
    const TRegistroLista& leido = lista.Registros[static_cast<std::size_t>(i)];
    if (progreso) progreso(i, total);
    // The source as it is now: what the copy will read.
    platform::FileAttributeData ahora;
    if (!platform::GetFileAttributesBeneath(origen->Montaje, leido.Rec.ONombre, &ahora)) {
      if (platform::GetLastError() == platform::ERROR_ACCESS_DENIED) {
        ++plan.Rechazados;
      } else {
        ++plan.Faltantes;
        if (plan.PrimerosFaltantes.size() < kMuestraFaltantes) {
          plan.PrimerosFaltantes.push_back(leido.Rec.ONombre);
        }
      }
      continue;
    }
    auto rec = std::make_unique<TFRec>();
    rec->ONombre = leido.Rec.ONombre;
    rec->DNombre = leido.Rec.DNombre;
    rec->Talla = ahora.Size;
    rec->Atributos = ahora.Attributes;
    rec->Tiempo = {ahora.Times.Creation, ahora.Times.LastAccess, ahora.Times.LastWrite};
    for (const std::uint32_t serie : leido.Series) {
      const TVolumenLista* destino = Buscar(volumenes, serie);
      // The source is never its own destination, and a serial named twice gives its drive once.
      if (destino == nullptr || destino == origen || rec->EncontrarDestino(destino->Id)) continue;
      if (ArchivoIgualEn(env, raices.De(*destino), rec->DNombre, rec->Tiempo.ETiempo,
                         rec->Talla)) {
        continue;
      }
      rec->DList.push_back(destino->Id);
    }
    if (!rec->DList.empty()) plan.Registros.push_back(std::move(rec));
  }
  return plan;
}

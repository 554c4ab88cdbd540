#include "app/RaicesDestinos.h"

TRaicesDestinos::TRaicesDestinos(platform::Env& env,
                                 const std::vector<std::shared_ptr<TDHilo>>& hilos,
                                 const TDHilo* origen)
    : env_(env) {
  for (const auto& hilo : hilos) {
    const THRec rec = hilo->GetAppRec();
    if (hilo.get() != origen && rec.ID != 0 && !abiertas_.contains(rec.ID)) {
      abiertas_.emplace(rec.ID, env_.OpenVolumeRoot(rec.Montaje));
    }
  }
}

TRaicesDestinos::~TRaicesDestinos() {
  for (const auto& [serie, raiz] : abiertas_) {
    if (raiz != platform::kInvalidHandle) env_.CloseHandle(raiz);
  }
}

bool TRaicesDestinos::Tiene(const TFRec& rec, std::uint32_t serie) const {
  const auto raiz = abiertas_.find(serie);
  return raiz != abiertas_.end() &&
         ArchivoIgualEn(env_, raiz->second, rec.DNombre, rec.Tiempo.ETiempo, rec.Talla);
}

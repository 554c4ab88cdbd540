#include "engine/Eleccion.h"

#include <vector>

std::int64_t Presupuesto(const TEntorno& entorno) {
  const std::int64_t diferencia = entorno.MemoriaTotal.load() - entorno.MemoriaLibre.load();
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(diferencia) >> 1);
}

std::size_t ElegirPosicion(const std::deque<std::unique_ptr<TFRec>>& registros, std::int64_t B,
                           const TAtraso& atraso) {
  for (std::size_t i = 0; i < registros.size(); ++i) {
    if (registros[i]->DList.empty() || atraso(registros[i]->DList.front()) < B) return i;
  }
  return 0;
}

std::unique_ptr<TFRec> SepararRezagados(TFRec& R, std::int64_t B, const TAtraso& atraso_de) {
  if (R.DList.empty()) return nullptr;
  std::vector<std::int64_t> atraso;
  atraso.reserve(R.DList.size());
  for (TIdDestino DH : R.DList) atraso.push_back(atraso_de(DH));
  std::int64_t A = atraso.back();
  for (std::int64_t a : atraso) {
    if (a < B) {
      A = a;
      break;
    }
  }
  std::unique_ptr<TFRec> R2;
  for (std::size_t i = R.DList.size(); i-- > 1;) {
    const std::int64_t d = atraso[i] - A;
    if (d <= B && d <= R.Talla) continue;
    if (!R2) {
      R2 = std::make_unique<TFRec>();
      R2->ONombre = R.ONombre;
      R2->DNombre = R.DNombre;
      R2->Talla = R.Talla;
      R2->Tiempo = R.Tiempo;
      R2->Atributos = R.Atributos;
    }
    R2->DList.push_back(R.DList[i]);
    R.DList.erase(R.DList.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return R2;
}

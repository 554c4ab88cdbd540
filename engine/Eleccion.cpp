#include "engine/Eleccion.h"

#include <algorithm>
#include <vector>

#include "records/Tallas.h"

std::int64_t Presupuesto(TEntorno& entorno) {
  return entorno.Bloques->Limite(entorno.MemoriaLibre.load()) / 2;
}

std::int64_t Adelanto(std::int64_t B) {
  constexpr std::int64_t kAdelanto = 64LL << 20;
  return std::min(B, kAdelanto);
}

bool TDebajoDe::operator()(TIdDestino DH) {
  for (const auto& [id, debajo] : vistos_) {
    if (id == DH) return debajo;
  }
  vistos_.emplace_back(DH, atraso_(DH) < B_);
  return vistos_.back().second;
}

std::size_t ElegirPosicion(const std::deque<std::unique_ptr<TFRec>>& registros, std::int64_t B,
                           const TAtraso& atraso) {
  TDebajoDe debajo(B, atraso);
  std::size_t otro = registros.size();  // the first with a destination after the first below B
  for (std::size_t i = 0; i < registros.size(); ++i) {
    const auto& DL = registros[i]->DList;
    if (DL.empty() || debajo(DL.front())) return i;
    if (otro == registros.size() && std::any_of(DL.begin() + 1, DL.end(), debajo)) otro = i;
  }
  return otro == registros.size() ? 0 : otro;
}

std::vector<TIdDestino> Rezagados(const std::vector<TIdDestino>& DList, std::int64_t B,
                                  const TAtraso& atraso_de, bool espera_otro) {
  std::vector<TIdDestino> fuera;
  if (B <= 0 || DList.empty()) return fuera;
  if (DList.size() == 1) {
    if (espera_otro && atraso_de(DList.front()) >= B) fuera.push_back(DList.front());
    return fuera;
  }
  std::vector<std::int64_t> atraso;
  atraso.reserve(DList.size());
  for (TIdDestino DH : DList) atraso.push_back(atraso_de(DH));
  const std::int64_t minimo = *std::min_element(atraso.begin(), atraso.end());
  for (std::size_t i = 0; i < DList.size(); ++i) {
    if (atraso[i] - minimo >= B) fuera.push_back(DList[i]);
  }
  return fuera;
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
    // The file's size in the blocks it will hold, as backlogs count them.
    if (d <= B && d <= RedondearTalla(kBloque, R.Talla)) continue;
    if (!R2) {
      R2 = std::make_unique<TFRec>(R);
      R2->DList.clear();
    }
    R2->DList.push_back(R.DList[i]);
    R.DList.erase(R.DList.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return R2;
}

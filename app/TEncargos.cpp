#include "app/TEncargos.h"

#include <algorithm>

void TEncargos::Agregar(const TFRec& rec, std::uint32_t serie) {
  auto it = porNombre_.find(rec.ONombre);
  if (it == porNombre_.end()) {
    TEncargo encargo;
    encargo.Rec.ONombre = rec.ONombre;
    encargo.Rec.DNombre = rec.DNombre;
    encargo.Rec.Talla = rec.Talla;
    encargo.Rec.Atributos = rec.Atributos;
    encargo.Rec.Tiempo = rec.Tiempo;
    encargos_.push_back(std::move(encargo));
    it = porNombre_.emplace(rec.ONombre, encargos_.size() - 1).first;
  }
  std::vector<std::uint32_t>& series = encargos_[it->second].Series;
  if (std::find(series.begin(), series.end(), serie) == series.end()) series.push_back(serie);
}

void TEncargos::Quitar(const std::u16string& ONombre, std::uint32_t serie) {
  const auto it = porNombre_.find(ONombre);
  if (it == porNombre_.end()) return;
  std::erase(encargos_[it->second].Series, serie);
  Limpiar(ONombre);
}

void TEncargos::Quitar(std::uint32_t serie) {
  std::vector<std::u16string> vacios;
  for (const auto& [nombre, indice] : porNombre_) {
    std::erase(encargos_[indice].Series, serie);
    if (encargos_[indice].Series.empty()) vacios.push_back(nombre);
  }
  for (const std::u16string& nombre : vacios) Limpiar(nombre);
}

void TEncargos::Limpiar(const std::u16string& ONombre) {
  const auto it = porNombre_.find(ONombre);
  if (it == porNombre_.end() || !encargos_[it->second].Series.empty()) return;
  encargos_[it->second].Rec = TFRec();
  porNombre_.erase(it);
  if (++vacios_ > encargos_.size() / 2) Compactar();
}

// Entries emptied are dropped once they are half of all, so that the memory follows the work
// left rather than the work ever handed over.
void TEncargos::Compactar() {
  std::deque<TEncargo> quedan;
  std::vector<std::size_t> nuevo(encargos_.size(), 0);
  std::vector<bool> vivo(encargos_.size(), false);
  for (const auto& [nombre, indice] : porNombre_) vivo[indice] = true;
  for (std::size_t i = 0; i < encargos_.size(); ++i) {
    if (!vivo[i]) continue;
    nuevo[i] = quedan.size();
    quedan.push_back(std::move(encargos_[i]));
  }
  for (auto& [nombre, indice] : porNombre_) indice = nuevo[indice];
  encargos_ = std::move(quedan);
  vacios_ = 0;
}

std::vector<const TEncargos::TEncargo*> TEncargos::Lista() const {
  std::vector<std::size_t> indices;
  indices.reserve(porNombre_.size());
  for (const auto& [nombre, indice] : porNombre_) indices.push_back(indice);
  std::sort(indices.begin(), indices.end());
  std::vector<const TEncargo*> lista;
  lista.reserve(indices.size());
  for (std::size_t i : indices) lista.push_back(&encargos_[i]);
  return lista;
}

const TEncargos::TEncargo* TEncargos::Buscar(const std::u16string& ONombre) const {
  const auto it = porNombre_.find(ONombre);
  return it == porNombre_.end() ? nullptr : &encargos_[it->second];
}

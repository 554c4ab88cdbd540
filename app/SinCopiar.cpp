#include "app/SinCopiar.h"

#include <algorithm>

#include "app/TallaStr.h"

namespace {

// The entries handed to the stick `serie`, split by whether it holds them whole now.
void Repartir(const TEncargos& encargos, const TRaicesDestinos& raices, std::uint32_t serie,
              std::vector<const TFRec*>* sin_copiar, std::vector<std::u16string>* hechos) {
  for (const TEncargos::TEncargo* encargo : encargos.Lista()) {
    const auto& series = encargo->Series;
    if (std::find(series.begin(), series.end(), serie) == series.end()) continue;
    if (!raices.Tiene(encargo->Rec, serie)) {
      if (sin_copiar) sin_copiar->push_back(&encargo->Rec);
    } else if (hechos) {
      hechos->push_back(encargo->Rec.ONombre);
    }
  }
}

}  // namespace

std::u16string SinCopiar(const TEncargos& encargos, const TRaicesDestinos& raices,
                         std::uint32_t serie) {
  constexpr std::size_t kNombrados = 5;
  std::vector<const TFRec*> sin_copiar;
  Repartir(encargos, raices, serie, &sin_copiar, nullptr);
  if (sin_copiar.empty()) return u"no quedaba nada por copiar.";
  std::u16string texto = EnteroStr(static_cast<std::int64_t>(sin_copiar.size())) +
                         (sin_copiar.size() == 1 ? u" entrada" : u" entradas") + u" sin copiar: ";
  for (std::size_t i = 0; i < std::min(sin_copiar.size(), kNombrados); ++i) {
    texto += (i == 0 ? u"" : u", ") + sin_copiar[i]->DNombre;
  }
  return texto + (sin_copiar.size() > kNombrados ? u"..." : u".");
}

void OlvidarHechos(TEncargos& encargos, const TRaicesDestinos& raices, std::uint32_t serie) {
  std::vector<std::u16string> hechos;
  Repartir(encargos, raices, serie, nullptr, &hechos);
  for (const std::u16string& nombre : hechos) encargos.Quitar(nombre, serie);
}

#include "app/ArchivoDeUnidad.h"

#include <utility>

#include "app/ConPlazo.h"

platform::ReadOutcome LeerArchivoDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                          const THRec& unidad, const std::string& nombre,
                                          std::chrono::milliseconds plazo, std::string* bytes) {
  if (unidad.Montaje.empty()) return platform::ReadOutcome::kMissing;
  auto leer = [tabla, montaje = unidad.Montaje, nombre] {
    std::pair<platform::ReadOutcome, std::string> leido{platform::ReadOutcome::kMissing, {}};
    const platform::FolderHandle raiz(montaje);
    if (raiz.ok() && tabla->IsMountedFolder(montaje, raiz.fd())) {
      leido.first = platform::ReadFileBounded(raiz, nombre, platform::kMaxOwnFileBytes,
                                              &leido.second);
    }
    return leido;
  };
  auto leido = ConPlazo(std::move(leer), plazo);
  if (!leido) return platform::ReadOutcome::kFailed;
  *bytes = std::move(leido->second);
  return leido->first;
}

#include "app/ArchivoDeUnidad.h"

#include <utility>

TEnCurso<TLecturaUnidad> LanzarLecturaDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                               const THRec& unidad, const std::string& nombre) {
  return Lanzar([tabla, montaje = unidad.Montaje, nombre] {
    TLecturaUnidad lectura{platform::ReadOutcome::kMissing, {}};
    if (montaje.empty()) return lectura;
    const platform::FolderHandle raiz(montaje);
    if (raiz.ok() && tabla->IsMountedFolder(montaje, raiz.fd())) {
      lectura.Resultado =
          platform::ReadFileBounded(raiz, nombre, platform::kMaxOwnFileBytes, &lectura.Bytes);
    }
    return lectura;
  });
}

platform::ReadOutcome EsperarLectura(TEnCurso<TLecturaUnidad>& lectura,
                                     std::chrono::steady_clock::time_point hasta,
                                     std::string* bytes) {
  std::optional<TLecturaUnidad> leida = lectura.Esperar(hasta);
  if (!leida) return platform::ReadOutcome::kFailed;
  *bytes = std::move(leida->Bytes);
  return leida->Resultado;
}

platform::ReadOutcome LeerArchivoDeUnidad(const std::shared_ptr<platform::Drives>& tabla,
                                          const THRec& unidad, const std::string& nombre,
                                          std::chrono::milliseconds plazo, std::string* bytes) {
  TEnCurso<TLecturaUnidad> lectura = LanzarLecturaDeUnidad(tabla, unidad, nombre);
  return EsperarLectura(lectura, std::chrono::steady_clock::now() + plazo, bytes);
}

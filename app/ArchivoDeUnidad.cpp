#include "app/ArchivoDeUnidad.h"

platform::ReadOutcome LeerArchivoDeUnidad(platform::Drives& tabla, const THRec& unidad,
                                          const std::string& nombre, std::string* bytes) {
  if (unidad.Montaje.empty()) return platform::ReadOutcome::kMissing;
  const platform::FolderHandle raiz(unidad.Montaje);
  if (!raiz.ok() || !tabla.IsMountedFolder(unidad.Montaje, raiz.fd())) {
    return platform::ReadOutcome::kMissing;
  }
  return platform::ReadFileBounded(raiz, nombre, platform::kMaxOwnFileBytes, bytes);
}

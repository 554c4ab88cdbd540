// The check of sticks already written: each is read back against the manifest its copy left at
// its root, and nothing is copied.
#include "app/ArchivoDeUnidad.h"
#include "app/Ocupado.h"
#include "app/TallaStr.h"
#include "app/TPrograma.h"
#include "app/UnidadEnAviso.h"
#include "engine/Manifiesto.h"
#include "platform/paths.h"

namespace {

// Why a stick's manifest, read with the outcome `leido`, cannot be used, or "" with its files in
// *archivos.
std::u16string ManifiestoDe(const THRec& unidad, platform::ReadOutcome leido,
                            const std::string& bytes, std::vector<TRecibido>* archivos) {
  const std::u16string de = u"El manifiesto de " + UnidadEnAviso(unidad);
  switch (leido) {
    case platform::ReadOutcome::kRead:
      break;
    case platform::ReadOutcome::kMissing:
      return UnidadEnAviso(unidad) + u" no tiene manifiesto (" + kNombreManifiesto +
             u"); no se verifica.";
    case platform::ReadOutcome::kNotRegular:
      return de + u" no es un archivo normal; no se verifica.";
    case platform::ReadOutcome::kTooLarge:
      return de + u" es demasiado grande; no se verifica.";
    case platform::ReadOutcome::kFailed:
      return de + u" no se puede leer; no se verifica.";
  }
  TManifiestoLeido manifiesto = LeerManifiesto(bytes);
  if (manifiesto.Malas != 0) {
    return de + u" tiene " + EnteroStr(static_cast<std::int64_t>(manifiesto.Malas)) + u" de " +
           EnteroStr(static_cast<std::int64_t>(manifiesto.Lineas)) +
           u" líneas no válidas; no se verifica.";
  }
  if (manifiesto.Archivos.empty()) return de + u" no lista ningún archivo; no se verifica.";
  *archivos = std::move(manifiesto.Archivos);
  return {};
}

}  // namespace

std::vector<std::shared_ptr<TDHilo>> TPrograma::ComprobarUnidades(
    const std::vector<std::shared_ptr<TDHilo>>& elegidos) {
  const std::shared_ptr<platform::Drives> tabla = Entorno->Env->CurrentDrives();
  std::string nombre;
  platform::EncodeName(kNombreManifiesto, &nombre);
  // Every manifest is asked for before any is waited for: sticks that do not answer cost the
  // time-out once, not once each.
  std::vector<THRec> unidades;
  std::vector<TEnCurso<TLecturaUnidad>> lecturas;
  for (const std::shared_ptr<TDHilo>& hilo : elegidos) {
    unidades.push_back(hilo->GetAppRec());
    lecturas.push_back(hilo == OCopia ? TEnCurso<TLecturaUnidad>(nullptr)
                                      : LanzarLecturaDeUnidad(tabla, unidades.back(), nombre));
  }
  const auto hasta =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(Entorno->TiempoError.load());
  std::vector<std::shared_ptr<TDHilo>> empezados;
  for (std::size_t i = 0; i < elegidos.size(); ++i) {
    const std::shared_ptr<TDHilo>& hilo = elegidos[i];
    const THRec& unidad = unidades[i];
    if (hilo == OCopia) {
      Avisos.push_back(UnidadEnAviso(unidad) + u" es el origen de la copia; no se verifica.");
      continue;
    }
    std::string bytes;
    const platform::ReadOutcome leido = EsperarLectura(lecturas[i], hasta, &bytes);
    std::vector<TRecibido> archivos;
    const std::u16string motivo = ManifiestoDe(unidad, leido, bytes, &archivos);
    if (!motivo.empty()) {
      Avisos.push_back(motivo);
    } else if (hilo->ComprobarManifiesto(std::move(archivos))) {
      empezados.push_back(hilo);
    } else {
      Avisos.push_back(UnidadEnAviso(unidad) +
                       u" está copiando o en error; no se verifica hasta que termine.");
    }
  }
  return empezados;
}

void TPrograma::ToolButtonVerificarClick() {
  {
    const TBarraOcupada ocupado(*this);
    std::vector<std::shared_ptr<TDHilo>> elegidos;
    for (std::size_t i = 0; i < DList.size() && static_cast<int>(i) < Vista.Count(); ++i) {
      if (Vista.Selected(static_cast<int>(i)) && DList[i]->GetAppRec().ID != 0) {
        elegidos.push_back(DList[i]);
      }
    }
    ComprobarUnidades(elegidos);
  }
  MostrarAvisos();
}

#include "engine/OperacionesDestino.h"

#include <algorithm>
#include <utility>

#include "engine/NombreTemporal.h"
#include "platform/errors.h"

// Ends an operation that failed: its packet reports the error now, instead of the worker's
// wait running out.
void Fallar(TContextoIO& C) {
  platform::ErrorCode code = platform::GetLastError();
  if (code == 0) code = platform::ERROR_GEN_FAILURE;
  C.CP.PostFailure(0, 0, nullptr, code);
}

void CerrarArchivo(TContextoIO& C) {
  if (C.IOFile == platform::kInvalidHandle) return;
  if (!C.Env.CloseHandle(C.IOFile)) C.Env.CancelIo(C.IOFile);
  C.IOFile = platform::kInvalidHandle;
}

void FallarAbierto(TContextoIO& C) {
  const platform::ErrorCode code = platform::GetLastError();
  CerrarArchivo(C);
  platform::SetLastError(code);
  Fallar(C);
}

bool AbrirRaiz(TContextoIO& C) {
  if (C.Sesion.Raiz != platform::kInvalidHandle) return true;
  const platform::Handle raiz = C.Env.OpenVolumeRoot(C.Montaje);
  if (raiz == platform::kInvalidHandle) return false;
  if (!C.Env.BindToPort(raiz, C.CP.shared_from_this())) {
    const platform::ErrorCode code = platform::GetLastError();
    C.Env.CloseHandle(raiz);
    platform::SetLastError(code);
    return false;
  }
  C.Sesion.Raiz = raiz;
  return true;
}

namespace {

std::u16string Carpeta(const std::u16string& DNombre) {
  const std::size_t corte = DNombre.rfind(u'\\');
  return corte == std::u16string::npos ? std::u16string() : DNombre.substr(0, corte);
}

std::u16string Dentro(const std::u16string& carpeta, const std::u16string& nombre) {
  return carpeta.empty() ? nombre : carpeta + u'\\' + nombre;
}

}  // namespace

// A temporary file is ours, read-only or not; so is a file the job replaces. Only a regular
// file is touched.
void BorrarArchivo(platform::Env& env, platform::Handle raiz, const std::u16string& ruta) {
  env.SetFileAttributesAt(raiz, ruta, 0);
  env.DeleteFileAt(raiz, ruta);
}

namespace {

// The first time a job writes into a folder, the temporary files an earlier job left there (a
// crash, a stick pulled) are deleted.
void RevisarCarpeta(TContextoIO& C, const std::u16string& carpeta) {
  if (!C.Sesion.CarpetasRevisadas.insert(carpeta).second) return;
  platform::FindData entrada;
  const platform::Handle busqueda = C.Env.FindFirstFileAt(C.Sesion.Raiz, carpeta, &entrada);
  if (busqueda == platform::kInvalidHandle) return;
  do {
    if (EsNombreTemporal(entrada.Name)) {
      BorrarArchivo(C.Env, C.Sesion.Raiz, Dentro(carpeta, entrada.Name));
    }
  } while (C.Env.FindNextFile(busqueda, &entrada));
  C.Env.FindClose(busqueda);
}

void CerrarCarpeta(platform::Env& env, TSesionDestino& sesion) {
  if (sesion.Carpeta != platform::kInvalidHandle) env.CloseHandle(sesion.Carpeta);
  sesion.Carpeta = platform::kInvalidHandle;
  sesion.RutaCarpeta.clear();
}

bool Abierta(const TSesionDestino& sesion, const std::u16string& carpeta) {
  return sesion.Carpeta != platform::kInvalidHandle && sesion.RutaCarpeta == carpeta;
}

// The folder `carpeta`, below the root: the one kept open if it is that one, or opened in its
// place.
platform::Handle CarpetaSesion(TContextoIO& C, const std::u16string& carpeta) {
  if (Abierta(C.Sesion, carpeta)) return C.Sesion.Carpeta;
  CerrarCarpeta(C.Env, C.Sesion);
  const platform::Handle abierta =
      C.Env.CreateFileAt(C.Sesion.Raiz, carpeta, platform::GENERIC_READ, platform::OPEN_EXISTING,
                         platform::FILE_FLAG_BACKUP_SEMANTICS);
  if (abierta == platform::kInvalidHandle) return platform::kInvalidHandle;
  C.Sesion.Carpeta = abierta;
  C.Sesion.RutaCarpeta = carpeta;
  return abierta;
}

// The handle the names of DNombre's folder are reached from: the root, or the folder kept open
// since the last file there. A folder met for the first time is made where missing, cleared of
// old temporary files and opened.
platform::Handle PrepararCarpeta(TContextoIO& C, const std::u16string& DNombre) {
  if (!AbrirRaiz(C)) return platform::kInvalidHandle;
  const std::u16string carpeta = Carpeta(DNombre);
  if (!carpeta.empty() && !Abierta(C.Sesion, carpeta) &&
      !C.Env.CreateFoldersAt(C.Sesion.Raiz, carpeta))
    return platform::kInvalidHandle;
  // Also for a folder a read-back opened: it may not have been written into yet in this job.
  RevisarCarpeta(C, carpeta);
  return CarpetaExistente(C, DNombre);
}

// The file the copy will replace goes first: a stick filled to the brim has no room for both,
// and the new copy, complete or absent, is what the job asked for. A copy left by a crash under
// the same temporary name is replaced; the folder's first visit already removed such copies,
// so the exclusive create is tried first and the name is cleared only when it is taken.
bool CrearTemporal(TContextoIO& C, platform::Handle carpeta, const TEspera& op,
                   std::uint32_t flags) {
  const std::u16string nombre = Hoja(op.DNombre);
  const std::u16string temporal = NombreTemporal(nombre);
  platform::FileAttributeData existente;
  if (C.Env.GetFileAttributesExAt(carpeta, nombre, &existente))
    BorrarArchivo(C.Env, carpeta, nombre);
  C.IOFile = C.Env.CreateFileAt(carpeta, temporal, platform::GENERIC_WRITE,
                                platform::CREATE_NEW, flags);
  if (C.IOFile == platform::kInvalidHandle &&
      platform::GetLastError() == platform::ERROR_FILE_EXISTS) {
    BorrarArchivo(C.Env, carpeta, temporal);
    C.IOFile = C.Env.CreateFileAt(carpeta, temporal, platform::GENERIC_WRITE,
                                  platform::CREATE_NEW, flags);
  }
  if (C.IOFile == platform::kInvalidHandle) return false;
  C.Sesion.Temporal = NombreTemporal(op.DNombre);
  return true;
}

// Times, attributes, close, final name: the file appears under its name only complete. Its
// length is already the source's: nothing was written past it.
bool Terminar(TContextoIO& C, const TEspera& op) {
  if (!C.Env.SetFileTime(C.IOFile, op.FTiempo.CTiempo, op.FTiempo.LTiempo, op.FTiempo.ETiempo) ||
      !C.Env.SetFileAttributesByHandle(C.IOFile, op.FAtributos))
    return false;
  const platform::Handle archivo = std::exchange(C.IOFile, platform::kInvalidHandle);
  if (!C.Env.CloseHandle(archivo)) return false;
  // The folder is the one the copy was made in: the session keeps it open while its files come.
  const platform::Handle carpeta =
      Carpeta(op.DNombre).empty() ? C.Sesion.Raiz : C.Sesion.Carpeta;
  const std::u16string nombre = Hoja(op.DNombre);
  if (!C.Env.MoveFileAt(carpeta, NombreTemporal(nombre), nombre)) return false;
  C.Sesion.Temporal.clear();
  return true;
}

}  // namespace

std::u16string Hoja(const std::u16string& DNombre) {
  const std::size_t corte = DNombre.rfind(u'\\');
  return corte == std::u16string::npos ? DNombre : DNombre.substr(corte + 1);
}

platform::Handle CarpetaExistente(TContextoIO& C, const std::u16string& DNombre) {
  const std::u16string carpeta = Carpeta(DNombre);
  return carpeta.empty() ? C.Sesion.Raiz : CarpetaSesion(C, carpeta);
}

void AbandonarSesion(platform::Env& env, platform::Handle& IOFile, TSesionDestino& sesion) {
  if (IOFile != platform::kInvalidHandle && !env.CloseHandle(IOFile)) env.CancelIo(IOFile);
  IOFile = platform::kInvalidHandle;
  CerrarCarpeta(env, sesion);
  if (sesion.Raiz != platform::kInvalidHandle) {
    if (!sesion.Temporal.empty()) BorrarArchivo(env, sesion.Raiz, sesion.Temporal);
    for (const std::u16string& suspendido : sesion.Suspendidos) {
      BorrarArchivo(env, sesion.Raiz, suspendido);
    }
    env.CloseHandle(sesion.Raiz);
  }
  sesion = TSesionDestino{};
}

void TCrearCarpeta::ExeIO(TContextoIO& C) {
  if (!AbrirRaiz(C) || !C.Env.CreateFoldersAt(C.Sesion.Raiz, DNombre) ||
      !C.Env.SetFileAttributesAt(C.Sesion.Raiz, DNombre, FAtributos))
    return Fallar(C);
  const platform::Handle carpeta =
      C.Env.CreateFileAt(C.Sesion.Raiz, DNombre, platform::GENERIC_READ, platform::OPEN_EXISTING,
                         platform::FILE_FLAG_BACKUP_SEMANTICS);
  if (carpeta == platform::kInvalidHandle) return Fallar(C);
  const bool tiempos =
      C.Env.SetFileTime(carpeta, FTiempo.CTiempo, FTiempo.LTiempo, FTiempo.ETiempo);
  const platform::ErrorCode code = platform::GetLastError();
  C.Env.CloseHandle(carpeta);
  if (!tiempos) {
    platform::SetLastError(code);
    return Fallar(C);
  }
  C.CP.Post(0, 0, nullptr);
}

void TCrearArchivo::ExeIO(TContextoIO& C) {
  const platform::Handle carpeta = PrepararCarpeta(C, DNombre);
  if (carpeta == platform::kInvalidHandle) return Fallar(C);
  // A file of one partial block is written in one buffered call; a longer one unbuffered in
  // whole blocks, its length taken before the first byte is written so that a full stick shows
  // here.
  const bool entera = FTalla >= kBloque;
  std::uint32_t flags = platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_SEQUENTIAL_SCAN;
  if (entera) flags |= platform::FILE_FLAG_NO_BUFFERING;
  if (!CrearTemporal(C, carpeta, *this, flags)) return Fallar(C);
  if (entera && (!C.Env.SetFilePointer(C.IOFile, FTalla) || !C.Env.SetEndOfFile(C.IOFile)))
    return Fallar(C);
  if (!C.Env.BindToPort(C.IOFile, C.CP.shared_from_this())) return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TCrearArchivoVacio::ExeIO(TContextoIO& C) {
  const platform::Handle carpeta = PrepararCarpeta(C, DNombre);
  if (carpeta == platform::kInvalidHandle || !CrearTemporal(C, carpeta, *this, 0) ||
      !Terminar(C, *this))
    return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TEscribirArchivo::ExeIO(TContextoIO& C) {
  // The last block's exact bytes: a sector write past the end would have to be cut, and the
  // file system would write the block once more.
  if (!C.Env.WriteFile(C.IOFile, Buf, static_cast<std::uint32_t>(BytesEsperados()), &ORec))
    Fallar(C);
}

void TCerrarArchivoCreado::ExeIO(TContextoIO& C) {
  if (!Terminar(C, *this)) return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TCerrarArchivoIncompleto::ExeIO(TContextoIO& C) {
  CerrarArchivo(C);
  if (!C.Sesion.Temporal.empty()) {
    BorrarArchivo(C.Env, C.Sesion.Raiz, C.Sesion.Temporal);
    C.Sesion.Temporal.clear();
  }
  // A copy suspended and not yet resumed goes too: the retry writes the file anew.
  const std::u16string suspendido = NombreTemporal(DNombre);
  if (C.Sesion.Suspendidos.erase(suspendido) != 0) BorrarArchivo(C.Env, C.Sesion.Raiz, suspendido);
  C.CP.Post(0, 0, nullptr);
}

void TSuspenderArchivo::ExeIO(TContextoIO& C) {
  const platform::Handle archivo = std::exchange(C.IOFile, platform::kInvalidHandle);
  if (archivo != platform::kInvalidHandle && !C.Env.CloseHandle(archivo)) return Fallar(C);
  if (!C.Sesion.Temporal.empty()) C.Sesion.Suspendidos.insert(std::move(C.Sesion.Temporal));
  C.Sesion.Temporal.clear();
  C.CP.Post(0, 0, nullptr);
}

void TReanudarArchivo::ExeIO(TContextoIO& C) {
  const std::u16string temporal = NombreTemporal(DNombre);
  // Only a copy this session suspended is opened: a name on the stick proves nothing.
  if (C.Sesion.Suspendidos.erase(temporal) == 0) {
    platform::SetLastError(platform::ERROR_FILE_NOT_FOUND);
    return Fallar(C);
  }
  C.Sesion.Temporal = temporal;
  // Other files may have been made elsewhere meanwhile: the copy's folder is the session's
  // again, so that it is reached, and renamed when done, from there.
  const platform::Handle carpeta = PrepararCarpeta(C, DNombre);
  if (carpeta == platform::kInvalidHandle) return Fallar(C);
  C.IOFile = C.Env.CreateFileAt(carpeta, NombreTemporal(Hoja(DNombre)), platform::GENERIC_WRITE,
                                platform::OPEN_EXISTING,
                                platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING |
                                    platform::FILE_FLAG_SEQUENTIAL_SCAN);
  if (C.IOFile == platform::kInvalidHandle ||
      !C.Env.BindToPort(C.IOFile, C.CP.shared_from_this()))
    return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

std::uint32_t PlazoVaciado(platform::Env& env, std::uint32_t tiempo_error) {
  constexpr std::uint64_t kHoraMs = 3600 * 1000;
  platform::MemoryStatus memoria;
  if (!env.GlobalMemoryStatus(&memoria)) return tiempo_error;
  const std::uint64_t ms_por_escribir = memoria.Unwritten / 1000;  // at 1 MB/s
  return static_cast<std::uint32_t>(
      std::max<std::uint64_t>(tiempo_error, std::min(kHoraMs, tiempo_error + ms_por_escribir)));
}

void TSincronizar::ExeIO(TContextoIO& C) {
  if (!AbrirRaiz(C) || !C.Env.FlushVolume(C.Sesion.Raiz, &ORec)) Fallar(C);
}

#include "engine/OperacionesDestino.h"

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

// The folders above DNombre, made where missing and cleared of old temporary files.
bool PrepararCarpeta(TContextoIO& C, const std::u16string& DNombre) {
  if (!AbrirRaiz(C)) return false;
  const std::u16string carpeta = Carpeta(DNombre);
  if (!carpeta.empty() && !C.Env.CreateFoldersAt(C.Sesion.Raiz, carpeta)) return false;
  RevisarCarpeta(C, carpeta);
  return true;
}

// A copy left by a crash under the same temporary name is replaced. The file it will replace
// goes first: a stick filled to the brim has no room for both, and the new copy, complete or
// absent, is what the job asked for.
bool CrearTemporal(TContextoIO& C, const std::u16string& DNombre, std::uint32_t flags) {
  const std::u16string temporal = NombreTemporal(DNombre);
  BorrarArchivo(C.Env, C.Sesion.Raiz, temporal);
  BorrarArchivo(C.Env, C.Sesion.Raiz, DNombre);
  C.IOFile = C.Env.CreateFileAt(C.Sesion.Raiz, temporal, platform::GENERIC_WRITE,
                                platform::CREATE_NEW, flags);
  if (C.IOFile == platform::kInvalidHandle) return false;
  C.Sesion.Temporal = temporal;
  return true;
}

// Cut, times, attributes, close, final name: the file appears under its name only complete.
bool Terminar(TContextoIO& C, const TEspera& op) {
  if (!C.Env.SetFilePointer(C.IOFile, op.FTalla) || !C.Env.SetEndOfFile(C.IOFile) ||
      !C.Env.SetFileTime(C.IOFile, op.FTiempo.CTiempo, op.FTiempo.LTiempo, op.FTiempo.ETiempo) ||
      !C.Env.SetFileAttributesByHandle(C.IOFile, op.FAtributos))
    return false;
  const platform::Handle archivo = std::exchange(C.IOFile, platform::kInvalidHandle);
  if (!C.Env.CloseHandle(archivo)) return false;
  if (!C.Env.MoveFileAt(C.Sesion.Raiz, C.Sesion.Temporal, op.DNombre)) return false;
  C.Sesion.Temporal.clear();
  return true;
}

}  // namespace

void AbandonarSesion(platform::Env& env, platform::Handle& IOFile, TSesionDestino& sesion) {
  if (IOFile != platform::kInvalidHandle && !env.CloseHandle(IOFile)) env.CancelIo(IOFile);
  IOFile = platform::kInvalidHandle;
  if (sesion.Raiz != platform::kInvalidHandle) {
    if (!sesion.Temporal.empty()) BorrarArchivo(env, sesion.Raiz, sesion.Temporal);
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
  if (!PrepararCarpeta(C, DNombre) ||
      !CrearTemporal(C, DNombre,
                     platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING |
                         platform::FILE_FLAG_SEQUENTIAL_SCAN))
    return Fallar(C);
  // The whole length is taken before the first byte is written, so a full stick shows here.
  if (!C.Env.SetFilePointer(C.IOFile, RedondearTalla(C.SectorSize, FTalla)) ||
      !C.Env.SetEndOfFile(C.IOFile) || !C.Env.BindToPort(C.IOFile, C.CP.shared_from_this()))
    return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TCrearArchivoVacio::ExeIO(TContextoIO& C) {
  if (!PrepararCarpeta(C, DNombre) || !CrearTemporal(C, DNombre, 0) ||
      !Terminar(C, *this))
    return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TEscribirArchivo::ExeIO(TContextoIO& C) {
  if (!C.Env.WriteFile(C.IOFile, Buf, static_cast<std::uint32_t>(BufBytes), &ORec)) Fallar(C);
}

void TCerrarArchivoCreado::ExeIO(TContextoIO& C) {
  if (!Terminar(C, *this)) return Fallar(C);
  C.CP.Post(0, 0, nullptr);
}

void TCerrarArchivoIncompleto::ExeIO(TContextoIO& C) {
  if (C.IOFile != platform::kInvalidHandle) {
    if (!C.Env.CloseHandle(C.IOFile)) C.Env.CancelIo(C.IOFile);
    C.IOFile = platform::kInvalidHandle;
  }
  if (!C.Sesion.Temporal.empty()) {
    BorrarArchivo(C.Env, C.Sesion.Raiz, C.Sesion.Temporal);
    C.Sesion.Temporal.clear();
  }
  C.CP.Post(0, 0, nullptr);
}

void TSincronizar::ExeIO(TContextoIO& C) {
  if (!AbrirRaiz(C) || !C.Env.FlushVolume(C.Sesion.Raiz, &ORec)) Fallar(C);
}

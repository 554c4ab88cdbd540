#include "engine/OperacionesDestino.h"


namespace {

void Cerrar(platform::Env& env, platform::Handle handle) {
  if (!env.CloseHandle(handle)) env.CancelIo(handle);
}

// Opens an existing file or folder for its times only, sets them and closes it.
void PonerTiempos(platform::Env& env, const std::u16string& path, const TFTiempo& tiempo) {
  const platform::Handle handle = env.CreateFile(
      path, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
      platform::OPEN_EXISTING,
      platform::FILE_FLAG_BACKUP_SEMANTICS | platform::FILE_FLAG_POSIX_SEMANTICS);
  if (handle == platform::kInvalidHandle) return;
  env.SetFileTime(handle, tiempo.CTiempo, tiempo.LTiempo, tiempo.ETiempo);
  Cerrar(env, handle);
}

}  // namespace

std::u16string TCrearCarpeta::RutaDestino(const std::string& Montaje) const {
  return CaminoUnidad(Montaje, DNombre);
}

// Taken from the relative name: the mount point before it may hold backslashes of its own.
std::u16string TCrearCarpeta::CarpetaDestino(const std::string& Montaje) const {
  return CaminoUnidad(Montaje, DNombre.substr(0, DNombre.rfind(u'\\') + 1));
}

void TCrearCarpeta::ExeIO(TContextoIO& C) {
  // A folder that was not made is passed over: a file inside it fails at its own creation.
  const std::u16string ruta = RutaDestino(C.Montaje);
  if (C.Env.GetFileAttributes(ruta) == platform::INVALID_FILE_ATTRIBUTES) {
    C.Env.ForceDirectories(ruta);
  }
  C.Env.SetFileAttributes(ruta, FAtributos);
  PonerTiempos(C.Env, ruta, FTiempo);
  C.IOFile = platform::kInvalidHandle;
  C.CP.Post(0, 0, nullptr);
}

void TCrearArchivoVacio::ExeIO(TContextoIO& C) {
  const std::u16string ruta = RutaDestino(C.Montaje);
  C.Env.ForceDirectories(CarpetaDestino(C.Montaje));
  const platform::Handle handle = C.Env.CreateFile(
      ruta, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
      platform::CREATE_ALWAYS, platform::FILE_FLAG_POSIX_SEMANTICS);
  if (handle != platform::kInvalidHandle) {
    Cerrar(C.Env, handle);
    // Times before attributes: a read-only file could not be opened for its times afterwards.
    PonerTiempos(C.Env, ruta, FTiempo);
    C.Env.SetFileAttributes(ruta, FAtributos);
  }
  C.IOFile = platform::kInvalidHandle;
  C.CP.Post(0, 0, nullptr);
}

void TCrearArchivo::ExeIO(TContextoIO& C) {
  const std::u16string carpeta = CarpetaDestino(C.Montaje);
  if (C.Env.GetFileAttributes(carpeta) == platform::INVALID_FILE_ATTRIBUTES) {
    C.Env.ForceDirectories(carpeta);
  }
  C.IOFile = C.Env.CreateFile(
      RutaDestino(C.Montaje), platform::GENERIC_WRITE, 0, platform::CREATE_ALWAYS,
      platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING |
          platform::FILE_FLAG_SEQUENTIAL_SCAN);
  // A copy that cannot be created posts nothing: the worker's wait runs out and it fails there.
  if (C.IOFile == platform::kInvalidHandle) return;
  // The whole length is taken before the first byte is written.
  C.Env.SetFilePointer(C.IOFile, RedondearTalla(C.SectorSize, FTalla));
  C.Env.SetEndOfFile(C.IOFile);
  C.Env.BindToPort(C.IOFile, C.CP.shared_from_this());
  C.CP.Post(0, 0, nullptr);
}

void TEscribirArchivo::ExeIO(TContextoIO& C) {
  C.Env.WriteFile(C.IOFile, Buf, static_cast<std::uint32_t>(BufBytes), &ORec);
}

void TCerrarArchivoCreado::ExeIO(TContextoIO& C) {
  const std::u16string ruta = RutaDestino(C.Montaje);
  if (C.Env.CloseHandle(C.IOFile)) {
    // Reopened buffered: an unbuffered handle cannot cut a length that is not whole sectors.
    const platform::Handle handle = C.Env.CreateFile(
        ruta, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
        platform::OPEN_EXISTING,
        platform::FILE_FLAG_RANDOM_ACCESS | platform::FILE_FLAG_POSIX_SEMANTICS);
    if (handle != platform::kInvalidHandle) {
      C.Env.SetFilePointer(handle, FTalla);
      C.Env.SetEndOfFile(handle);
      C.Env.SetFileTime(handle, FTiempo.CTiempo, FTiempo.LTiempo, FTiempo.ETiempo);
      Cerrar(C.Env, handle);
    }
    C.Env.SetFileAttributes(ruta, FAtributos);
  } else {
    C.Env.CancelIo(C.IOFile);
    C.Env.DeleteFile(ruta);
  }
  C.IOFile = platform::kInvalidHandle;
  C.CP.Post(0, 0, nullptr);
}

void TCerrarArchivoIncompleto::ExeIO(TContextoIO& C) {
  if (C.IOFile != platform::kInvalidHandle) {
    Cerrar(C.Env, C.IOFile);
    C.Env.DeleteFile(RutaDestino(C.Montaje));
  }
  C.IOFile = platform::kInvalidHandle;
  C.CP.Post(0, 0, nullptr);
}

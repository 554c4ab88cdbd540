#include "engine/OperacionesDestino.h"

#include "platform/files.h"

namespace {

void Cerrar(platform::Handle handle) {
  if (!platform::CloseHandle(handle)) platform::CancelIo(handle);
}

// Opens an existing file or folder for its times only, sets them and closes it.
void PonerTiempos(const std::u16string& path, const TFTiempo& tiempo) {
  const platform::Handle handle = platform::CreateFile(
      path, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
      platform::OPEN_EXISTING,
      platform::FILE_FLAG_BACKUP_SEMANTICS | platform::FILE_FLAG_POSIX_SEMANTICS);
  if (handle == platform::kInvalidHandle) return;
  platform::SetFileTime(handle, tiempo.CTiempo, tiempo.LTiempo, tiempo.ETiempo);
  Cerrar(handle);
}

}  // namespace

std::u16string TCrearCarpeta::RutaDestino(const std::string& Montaje) const {
  return CaminoUnidad(Montaje, DNombre);
}

// Taken from the relative name: the mount point before it may hold backslashes of its own.
std::u16string TCrearCarpeta::CarpetaDestino(const std::string& Montaje) const {
  return CaminoUnidad(Montaje, DNombre.substr(0, DNombre.rfind(u'\\') + 1));
}

void TCrearCarpeta::ExeIO(platform::CompletionPort& CP, std::uint32_t,
                          const std::string& Montaje, platform::Handle& IOFile) {
  // A folder that was not made is passed over: a file inside it fails at its own creation.
  const std::u16string ruta = RutaDestino(Montaje);
  if (platform::GetFileAttributes(ruta) == platform::INVALID_FILE_ATTRIBUTES) {
    platform::ForceDirectories(ruta);
  }
  platform::SetFileAttributes(ruta, FAtributos);
  PonerTiempos(ruta, FTiempo);
  IOFile = platform::kInvalidHandle;
  CP.Post(0, 0, nullptr);
}

void TCrearArchivoVacio::ExeIO(platform::CompletionPort& CP, std::uint32_t,
                               const std::string& Montaje, platform::Handle& IOFile) {
  const std::u16string ruta = RutaDestino(Montaje);
  platform::ForceDirectories(CarpetaDestino(Montaje));
  const platform::Handle handle = platform::CreateFile(
      ruta, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
      platform::CREATE_ALWAYS, platform::FILE_FLAG_POSIX_SEMANTICS);
  if (handle != platform::kInvalidHandle) {
    Cerrar(handle);
    // Times before attributes: a read-only file could not be opened for its times afterwards.
    PonerTiempos(ruta, FTiempo);
    platform::SetFileAttributes(ruta, FAtributos);
  }
  IOFile = platform::kInvalidHandle;
  CP.Post(0, 0, nullptr);
}

void TCrearArchivo::ExeIO(platform::CompletionPort& CP, std::uint32_t SectorSize,
                          const std::string& Montaje, platform::Handle& IOFile) {
  const std::u16string carpeta = CarpetaDestino(Montaje);
  if (platform::GetFileAttributes(carpeta) == platform::INVALID_FILE_ATTRIBUTES) {
    platform::ForceDirectories(carpeta);
  }
  IOFile = platform::CreateFile(
      RutaDestino(Montaje), platform::GENERIC_WRITE, 0, platform::CREATE_ALWAYS,
      platform::FILE_FLAG_OVERLAPPED | platform::FILE_FLAG_NO_BUFFERING |
          platform::FILE_FLAG_SEQUENTIAL_SCAN);
  // A copy that cannot be created posts nothing: the worker's wait runs out and it fails there.
  if (IOFile == platform::kInvalidHandle) return;
  // The whole length is taken before the first byte is written.
  platform::SetFilePointer(IOFile, RedondearTalla(SectorSize, FTalla));
  platform::SetEndOfFile(IOFile);
  platform::BindToPort(IOFile, CP.shared_from_this());
  CP.Post(0, 0, nullptr);
}

void TEscribirArchivo::ExeIO(platform::CompletionPort&, std::uint32_t, const std::string&,
                             platform::Handle& IOFile) {
  platform::WriteFile(IOFile, Buf, static_cast<std::uint32_t>(BufBytes), &ORec);
}

void TCerrarArchivoCreado::ExeIO(platform::CompletionPort& CP, std::uint32_t,
                                 const std::string& Montaje, platform::Handle& IOFile) {
  const std::u16string ruta = RutaDestino(Montaje);
  if (platform::CloseHandle(IOFile)) {
    // Reopened buffered: an unbuffered handle cannot cut a length that is not whole sectors.
    const platform::Handle handle = platform::CreateFile(
        ruta, platform::GENERIC_WRITE, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
        platform::OPEN_EXISTING,
        platform::FILE_FLAG_RANDOM_ACCESS | platform::FILE_FLAG_POSIX_SEMANTICS);
    if (handle != platform::kInvalidHandle) {
      platform::SetFilePointer(handle, FTalla);
      platform::SetEndOfFile(handle);
      platform::SetFileTime(handle, FTiempo.CTiempo, FTiempo.LTiempo, FTiempo.ETiempo);
      Cerrar(handle);
    }
    platform::SetFileAttributes(ruta, FAtributos);
  } else {
    platform::CancelIo(IOFile);
    platform::DeleteFile(ruta);
  }
  IOFile = platform::kInvalidHandle;
  CP.Post(0, 0, nullptr);
}

void TCerrarArchivoIncompleto::ExeIO(platform::CompletionPort& CP, std::uint32_t,
                                     const std::string& Montaje, platform::Handle& IOFile) {
  if (IOFile != platform::kInvalidHandle) {
    Cerrar(IOFile);
    platform::DeleteFile(RutaDestino(Montaje));
  }
  IOFile = platform::kInvalidHandle;
  CP.Post(0, 0, nullptr);
}

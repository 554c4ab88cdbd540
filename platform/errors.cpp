// The thread's last error, the errno table and the Spanish message texts of the codes.
#include "platform/errors.h"

#include <cerrno>
#include <string>

namespace platform {
namespace {

thread_local ErrorCode last_error = ERROR_SUCCESS;

struct ErrnoCode {
  int errno_value;
  ErrorCode code;
};

// EIO does not tell a bad sector from a device that stopped answering (a stick pulled out
// while it was written shows up as EIO first), so it maps to the general device failure rather
// than to ERROR_CRC. EAGAIN/EWOULDBLOCK only reaches here from a refused non-blocking lock.
constexpr ErrnoCode kErrnoCodes[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ELOOP, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EFBIG, ERROR_DISK_FULL},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
    {EEXIST, ERROR_FILE_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EBADF, ERROR_INVALID_HANDLE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ECANCELED, ERROR_OPERATION_ABORTED},
    {ETIMEDOUT, WAIT_TIMEOUT},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {ENOSYS, ERROR_NOT_SUPPORTED},
    {ENOMEDIUM, ERROR_NOT_READY},
};

struct CodeText {
  ErrorCode code;
  const char16_t* text;
};

constexpr CodeText kCodeTexts[] = {
    {ERROR_SUCCESS, u"La operación se ha completado correctamente.\r\n"},
    {ERROR_FILE_NOT_FOUND, u"El sistema no puede encontrar el archivo especificado.\r\n"},
    {ERROR_PATH_NOT_FOUND, u"El sistema no puede encontrar la ruta especificada.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, u"Hay demasiados archivos abiertos.\r\n"},
    {ERROR_ACCESS_DENIED, u"Acceso denegado.\r\n"},
    {ERROR_INVALID_HANDLE, u"El identificador no es válido.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, u"No hay memoria suficiente para completar la operación.\r\n"},
    {ERROR_WRITE_PROTECT, u"El medio está protegido contra escritura.\r\n"},
    {ERROR_NOT_READY, u"El dispositivo no está preparado.\r\n"},
    {ERROR_CRC, u"Error de datos: la comprobación de redundancia cíclica no coincide.\r\n"},
    {ERROR_GEN_FAILURE, u"Un dispositivo conectado al sistema no funciona.\r\n"},
    {ERROR_SHARING_VIOLATION,
     u"El archivo está en uso por otro proceso y no se puede acceder a él.\r\n"},
    {ERROR_NO_MORE_FILES, u"No hay más archivos.\r\n"},
    {ERROR_HANDLE_EOF, u"Se ha llegado al final del archivo.\r\n"},
    {ERROR_NOT_SUPPORTED, u"No se admite la operación solicitada.\r\n"},
    {ERROR_FILE_EXISTS, u"El archivo ya existe.\r\n"},
    {ERROR_INVALID_PARAMETER, u"El parámetro no es correcto.\r\n"},
    {ERROR_DISK_FULL, u"No hay espacio suficiente en el disco.\r\n"},
    {ERROR_INVALID_NAME,
     u"La sintaxis del nombre de archivo, carpeta o volumen no es correcta.\r\n"},
    {ERROR_DIR_NOT_EMPTY, u"La carpeta no está vacía.\r\n"},
    {ERROR_ALREADY_EXISTS, u"No se puede crear un archivo que ya existe.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, u"El nombre o la ruta del archivo son demasiado largos.\r\n"},
    {WAIT_TIMEOUT, u"Se ha agotado el tiempo de espera de la operación.\r\n"},
    {ERROR_OPERATION_ABORTED, u"La operación de E/S se ha cancelado.\r\n"},
    {ERROR_IO_PENDING, u"La operación de E/S superpuesta está en curso.\r\n"},
    {ERROR_DEVICE_NOT_CONNECTED, u"El dispositivo no está conectado.\r\n"},
    {ERROR_FILE_INVALID,
     u"El volumen de un archivo ha sido alterado externamente de forma que el archivo abierto ya "
     u"no es válido.\r\n"},
    {ERROR_CANT_RESOLVE_FILENAME, u"No se puede resolver el nombre del archivo.\r\n"},
};

}  // namespace

ErrorCode GetLastError() { return last_error; }

void SetLastError(ErrorCode code) { last_error = code; }

ErrorCode ErrorFromErrno(int errno_value) {
  for (const ErrnoCode& entry : kErrnoCodes)
    if (entry.errno_value == errno_value) return entry.code;
  return ERROR_GEN_FAILURE;
}

std::u16string MensajeSistema(ErrorCode code) {
  for (const CodeText& entry : kCodeTexts)
    if (entry.code == code) return entry.text;
  std::u16string text = u"Error del sistema ";
  for (char digit : std::to_string(code)) text.push_back(static_cast<char16_t>(digit));
  return text + u".\r\n";
}

}  // namespace platform

// Error codes of the platform and their Spanish message texts.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

inline constexpr ErrorCode ERROR_SUCCESS = 0;
inline constexpr ErrorCode ERROR_FILE_NOT_FOUND = 2;
inline constexpr ErrorCode ERROR_PATH_NOT_FOUND = 3;
inline constexpr ErrorCode ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr ErrorCode ERROR_ACCESS_DENIED = 5;
inline constexpr ErrorCode ERROR_INVALID_HANDLE = 6;
inline constexpr ErrorCode ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr ErrorCode ERROR_WRITE_PROTECT = 19;
inline constexpr ErrorCode ERROR_NOT_READY = 21;
inline constexpr ErrorCode ERROR_CRC = 23;
inline constexpr ErrorCode ERROR_GEN_FAILURE = 31;
inline constexpr ErrorCode ERROR_SHARING_VIOLATION = 32;
inline constexpr ErrorCode ERROR_HANDLE_EOF = 38;
inline constexpr ErrorCode ERROR_NOT_SUPPORTED = 50;
inline constexpr ErrorCode ERROR_FILE_EXISTS = 80;
inline constexpr ErrorCode ERROR_INVALID_PARAMETER = 87;
inline constexpr ErrorCode ERROR_DISK_FULL = 112;
inline constexpr ErrorCode ERROR_INVALID_NAME = 123;
inline constexpr ErrorCode ERROR_DIR_NOT_EMPTY = 145;
inline constexpr ErrorCode ERROR_ALREADY_EXISTS = 183;
inline constexpr ErrorCode ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr ErrorCode WAIT_TIMEOUT = 258;
inline constexpr ErrorCode ERROR_NO_MORE_FILES = 18;
inline constexpr ErrorCode ERROR_OPERATION_ABORTED = 995;
inline constexpr ErrorCode ERROR_IO_PENDING = 997;
inline constexpr ErrorCode ERROR_FILE_INVALID = 1006;
inline constexpr ErrorCode ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr ErrorCode ERROR_CANT_RESOLVE_FILENAME = 1921;

// The calling thread's last error, as GetLastError/SetLastError keep it on Windows. Every
// platform call that fails sets it; calls that succeed leave it as it was.
ErrorCode GetLastError();
void SetLastError(ErrorCode code);

// The one place where an errno value becomes an error code.
ErrorCode ErrorFromErrno(int errno_value);

// Spanish message text of a code, ending with a full stop and "\r\n" as the system's texts do
// (callers trim them). An unknown code gets a generic text that names its number.
std::u16string MensajeSistema(ErrorCode code);

}  // namespace platform

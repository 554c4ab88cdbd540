#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

namespace platform {
namespace {

TEST(ErrorsTest, ErrnoValuesMapToTheirCodes) {
  const struct {
    int errno_value;
    ErrorCode code;
  } cases[] = {
      {ENOENT, ERROR_FILE_NOT_FOUND},         {ENOTDIR, ERROR_PATH_NOT_FOUND},
      {EACCES, ERROR_ACCESS_DENIED},          {EPERM, ERROR_ACCESS_DENIED},
      {EISDIR, ERROR_ACCESS_DENIED},          {EROFS, ERROR_WRITE_PROTECT},
      {ENOSPC, ERROR_DISK_FULL},              {EDQUOT, ERROR_DISK_FULL},
      {EIO, ERROR_GEN_FAILURE},               {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
      {ENODEV, ERROR_DEVICE_NOT_CONNECTED},   {EBUSY, ERROR_SHARING_VIOLATION},
      {EWOULDBLOCK, ERROR_SHARING_VIOLATION}, {EEXIST, ERROR_FILE_EXISTS},
      {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},       {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
      {EINVAL, ERROR_INVALID_PARAMETER},      {EBADF, ERROR_INVALID_HANDLE},
      {EMFILE, ERROR_TOO_MANY_OPEN_FILES},    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},      {ECANCELED, ERROR_OPERATION_ABORTED},
      {ETIMEDOUT, WAIT_TIMEOUT},              {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
      {ENOMEDIUM, ERROR_NOT_READY},           {0, ERROR_GEN_FAILURE},
      {EPIPE, ERROR_GEN_FAILURE},             {99999, ERROR_GEN_FAILURE},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorFromErrno(c.errno_value), c.code) << c.errno_value;
}

TEST(ErrorsTest, MessagesAreSpanishAndEndWithTheSystemLineBreak) {
  EXPECT_EQ(MensajeSistema(WAIT_TIMEOUT), u"Se ha agotado el tiempo de espera de la operación.\r\n");
  EXPECT_EQ(MensajeSistema(ERROR_DISK_FULL), u"No hay espacio suficiente en el disco.\r\n");
  EXPECT_EQ(MensajeSistema(ERROR_ACCESS_DENIED), u"Acceso denegado.\r\n");
  EXPECT_EQ(MensajeSistema(ERROR_FILE_NOT_FOUND),
            u"El sistema no puede encontrar el archivo especificado.\r\n");
  EXPECT_EQ(MensajeSistema(4242), u"Error del sistema 4242.\r\n");
}

// Every code the platform can report has a text of its own.
TEST(ErrorsTest, EveryKnownCodeHasItsOwnText) {
  const ErrorCode codes[] = {
      ERROR_SUCCESS,           ERROR_FILE_NOT_FOUND,    ERROR_PATH_NOT_FOUND,
      ERROR_TOO_MANY_OPEN_FILES, ERROR_ACCESS_DENIED,   ERROR_INVALID_HANDLE,
      ERROR_NOT_ENOUGH_MEMORY, ERROR_WRITE_PROTECT,     ERROR_NOT_READY,
      ERROR_CRC,               ERROR_GEN_FAILURE,       ERROR_SHARING_VIOLATION,
      ERROR_HANDLE_EOF,        ERROR_NOT_SUPPORTED,     ERROR_FILE_EXISTS,
      ERROR_INVALID_PARAMETER, ERROR_DISK_FULL,         ERROR_INVALID_NAME,
      ERROR_DIR_NOT_EMPTY,     ERROR_ALREADY_EXISTS,    ERROR_FILENAME_EXCED_RANGE,
      WAIT_TIMEOUT,            ERROR_NO_MORE_FILES,     ERROR_OPERATION_ABORTED,
      ERROR_IO_PENDING,        ERROR_DEVICE_NOT_CONNECTED,
  };
  for (ErrorCode code : codes) {
    const std::u16string text = MensajeSistema(code);
    EXPECT_EQ(text.rfind(u"Error del sistema", 0), std::u16string::npos) << code;
    ASSERT_GE(text.size(), 4u) << code;
    EXPECT_EQ(text.substr(text.size() - 3), u".\r\n") << code;
  }
}

TEST(ErrorsTest, LastErrorBelongsToTheThread) {
  SetLastError(ERROR_DISK_FULL);
  ErrorCode seen_by_other = 1;
  std::thread other([&] {
    seen_by_other = GetLastError();
    SetLastError(ERROR_CRC);
  });
  other.join();
  EXPECT_EQ(seen_by_other, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

}  // namespace
}  // namespace platform

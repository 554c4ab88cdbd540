// Repeats a system call that a signal interrupted.
#pragma once

#include <cerrno>

namespace platform {

// `call` returns -1 with errno set on failure, as system calls do.
template <class Call>
auto RetryOnEintr(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

}  // namespace platform

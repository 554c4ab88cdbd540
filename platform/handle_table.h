// The table behind file and find handles. Handles are numbered from 1000 up and never reused,
// so a stale handle fails with ERROR_INVALID_HANDLE instead of reaching a later file.
#pragma once

#include <memory>

#include "platform/types.h"

namespace platform {

// What a handle refers to.
class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

// Any thread.
Handle AddHandle(std::shared_ptr<HandleObject> object);
// nullptr for a handle that is not (or no longer) in the table.
std::shared_ptr<HandleObject> FindHandle(Handle handle);
// Takes the handle out of the table; nullptr when it was not there.
std::shared_ptr<HandleObject> RemoveHandle(Handle handle);

// The object of a handle when it is a T, else nullptr.
template <class T>
std::shared_ptr<T> HandleAs(Handle handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

}  // namespace platform

// The process-wide handle table.
#include "platform/handle_table.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

constexpr Handle kFirstHandle = 1000;

class HandleTable final {
 public:
  Handle Add(std::shared_ptr<HandleObject> object) {
    std::lock_guard lock(mutex_);
    const Handle handle = next_++;
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  std::shared_ptr<HandleObject> Find(Handle handle) const {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second;
  }

  std::shared_ptr<HandleObject> Remove(Handle handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(handle);
    if (it == objects_.end()) return nullptr;
    std::shared_ptr<HandleObject> object = std::move(it->second);
    objects_.erase(it);
    return object;
  }

 private:
  mutable std::mutex mutex_;
  Handle next_ = kFirstHandle;                                       // guarded by mutex_
  std::unordered_map<Handle, std::shared_ptr<HandleObject>> objects_;  // guarded by mutex_
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives detached threads that close handles
  return *table;
}

}  // namespace

Handle AddHandle(std::shared_ptr<HandleObject> object) { return Table().Add(std::move(object)); }
std::shared_ptr<HandleObject> FindHandle(Handle handle) { return Table().Find(handle); }
std::shared_ptr<HandleObject> RemoveHandle(Handle handle) { return Table().Remove(handle); }

}  // namespace platform

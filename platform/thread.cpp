// Worker thread control: terminate, suspend at a safe point, raise priority; detached threads;
// the alert sound hook.
#include "platform/thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace platform {
namespace {

// Above normal priority; permitted to root, or where RLIMIT_NICE is 25 or more.
constexpr int kRaisedNice = -5;

std::mutex beep_mutex;
std::function<void(unsigned)> beep_hook;  // guarded by beep_mutex

}  // namespace

void ThreadControl::Terminate() {
  terminated_.store(true, std::memory_order_release);
  // Taking the mutex orders the store before a waiter's predicate check, so no wake-up is lost.
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

void ThreadControl::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void ThreadControl::Resume() {
  std::lock_guard lock(mutex_);
  suspended_ = false;
  changed_.notify_all();
}

bool ThreadControl::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void ThreadControl::PausePoint() {
  if (raise_priority_.exchange(false, std::memory_order_acq_rel) && !priority_raised_) {
    // Where the process may not raise its priority the thread keeps running as it was.
    priority_raised_ = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kRaisedNice) == 0;
  }
  std::unique_lock lock(mutex_);
  paused_ = suspended_ && !Terminated();
  changed_.wait(lock, [this] { return !suspended_ || Terminated(); });
  paused_ = false;
}

bool ThreadControl::Paused() const {
  std::lock_guard lock(mutex_);
  return paused_;
}

void ThreadControl::Sleep(unsigned ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Terminated(); });
}

void StartThread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

void MessageBeep(unsigned type) {
  std::function<void(unsigned)> hook;
  {
    std::lock_guard lock(beep_mutex);
    hook = beep_hook;
  }
  if (hook) hook(type);
}

void SetBeepHook(std::function<void(unsigned)> hook) {
  std::lock_guard lock(beep_mutex);
  beep_hook = std::move(hook);
}

}  // namespace platform

// The control block of a worker thread: terminate request, priority and a suspended state that
// takes effect only where the thread calls PausePoint, a place where it holds no lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace platform {

class ThreadControl {
 public:
  // Any thread.
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // Main thread. Suspend takes effect at the thread's next PausePoint; a suspended thread that
  // is asked to terminate wakes up.
  void Suspend();
  void Resume();
  bool Suspended() const;
  // True while the thread waits at its pause point: from then on it runs nothing until resumed.
  bool Paused() const;

  // Any thread: ask for above-normal priority. Applied by the thread itself at its next
  // PausePoint, where permitted (kept silently otherwise).
  void RaisePriority() { raise_priority_.store(true, std::memory_order_release); }

  // The thread itself, holding no lock: waits while suspended, applies a priority request.
  void PausePoint();

  // The thread itself: sleeps up to `ms`, waking early on Terminate.
  void Sleep(unsigned ms);

 private:
  std::atomic<bool> terminated_{false};
  std::atomic<bool> raise_priority_{false};
  bool priority_raised_ = false;  // thread itself only
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool suspended_ = false;  // guarded by mutex_
  bool paused_ = false;     // guarded by mutex_
};

// Starts `body` on a new detached thread.
void StartThread(std::function<void()> body);

// The system's alert sound: the window installs the hook; without one nothing sounds.
inline constexpr unsigned MB_ICONASTERISK = 0x40;
void MessageBeep(unsigned type);
void SetBeepHook(std::function<void(unsigned)> hook);

}  // namespace platform

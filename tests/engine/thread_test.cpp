#include "platform/thread.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

// Liveness only: a broken wake-up shows as this deadline passing, never a speed figure.
constexpr auto kDeadline = 30s;

template <class Condition>
bool Eventually(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A worker loop as the device workers run it: a pause point, then one step of work.
class LoopingThread {
 public:
  LoopingThread() {
    thread_ = std::thread([this] {
      while (!control.Terminated()) {
        control.PausePoint();
        if (control.Terminated()) break;
        steps.fetch_add(1);
      }
      ended.store(true);
    });
  }
  ~LoopingThread() {
    control.Terminate();
    thread_.join();
  }

  ThreadControl control;
  std::atomic<long> steps{0};
  std::atomic<bool> ended{false};

 private:
  std::thread thread_;
};

TEST(ThreadTest, TerminateWakesASleepingThread) {
  ThreadControl control;
  std::promise<void> woke;
  std::future<void> woken = woke.get_future();
  std::thread sleeper([&] {
    control.Sleep(10 * 60 * 1000);
    woke.set_value();
  });
  std::this_thread::sleep_for(20ms);  // most likely asleep by now; either order must wake
  control.Terminate();
  ASSERT_EQ(woken.wait_for(kDeadline), std::future_status::ready);
  sleeper.join();
  control.Sleep(10 * 60 * 1000);  // a terminated thread does not sleep at all
}

TEST(ThreadTest, SleepEndsByItselfWithoutTerminate) {
  ThreadControl control;
  control.Sleep(1);
  EXPECT_FALSE(control.Terminated());
}

TEST(ThreadTest, SuspendStopsTheLoopAtItsPausePointAndResumeContinuesIt) {
  LoopingThread worker;
  ASSERT_TRUE(Eventually([&] { return worker.steps.load() > 0; }));
  worker.control.Suspend();
  EXPECT_TRUE(worker.control.Suspended());
  // A step already past the pause point may finish; no further step may start.
  const long at_suspend = worker.steps.load();
  std::this_thread::sleep_for(100ms);
  const long parked = worker.steps.load();
  EXPECT_LE(parked, at_suspend + 1);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(worker.steps.load(), parked);

  worker.control.Resume();
  EXPECT_FALSE(worker.control.Suspended());
  EXPECT_TRUE(Eventually([&] { return worker.steps.load() > parked + 10; }));
}

TEST(ThreadTest, TerminateWakesASuspendedThread) {
  LoopingThread worker;
  ASSERT_TRUE(Eventually([&] { return worker.steps.load() > 0; }));
  worker.control.Suspend();
  std::this_thread::sleep_for(50ms);
  worker.control.Terminate();
  EXPECT_TRUE(Eventually([&] { return worker.ended.load(); }));
}

// The request is applied by the thread itself, to itself only, where the system permits it.
TEST(ThreadTest, RaisedPriorityIsAppliedAtThePausePoint) {
  const int main_before = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  bool permitted = false;
  std::thread([&] {
    permitted = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -5) == 0;
  }).join();
  int before = 0, after = 0;
  ThreadControl control;
  std::thread worker([&] {
    before = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    control.RaisePriority();
    control.PausePoint();
    after = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  });
  worker.join();
  EXPECT_EQ(after, permitted ? -5 : before);
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), main_before);
}

TEST(ThreadTest, StartThreadRunsTheBody) {
  std::promise<int> ran;
  std::future<int> result = ran.get_future();
  StartThread([&ran] { ran.set_value(7); });
  ASSERT_EQ(result.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(result.get(), 7);
}

TEST(ThreadTest, BeepReachesTheHookWhileOtherThreadsReplaceIt) {
  std::atomic<int> first{0}, second{0};
  SetBeepHook([&](unsigned type) { first += type == MB_ICONASTERISK; });
  std::vector<std::thread> beepers;
  for (int t = 0; t < 4; ++t)
    beepers.emplace_back([] {
      for (int i = 0; i < 500; ++i) MessageBeep(MB_ICONASTERISK);
    });
  SetBeepHook([&](unsigned type) { second += type == MB_ICONASTERISK; });
  for (std::thread& beeper : beepers) beeper.join();
  EXPECT_EQ(first + second, 4 * 500);
  SetBeepHook(nullptr);
  MessageBeep(MB_ICONASTERISK);
  EXPECT_EQ(first + second, 4 * 500);
}

}  // namespace
}  // namespace platform

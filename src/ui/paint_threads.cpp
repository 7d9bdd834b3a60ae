#include "ui/paint_threads.h"

#include <QThreadPool>
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lumigrid {
namespace {

// Threads that wait until all of them are counted, so that each one holds its own stack.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  bool open = false;

  void arrive() {
    std::unique_lock lock(mutex);
    ++arrived;
    changed.notify_all();
    changed.wait(lock, [this] { return open; });
  }
  // Waits until `wanted` threads arrived or `limit` passed, lets them all go on, and returns how
  // many arrived.
  int releaseWhen(int wanted, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, limit, [this, wanted] { return arrived >= wanted; });
    open = true;
    changed.notify_all();
    return arrived;
  }
};

// How many threads can start side by side now, up to `wanted`. Plain threads report a failed
// start as an error, where the pool only warns and loses the task: they are counted first and
// ended again, so that the pool then starts no more threads than there is room for.
int threads_that_can_start(int wanted) {
  Gate gate;
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(wanted));
  for (int i = 0; i < wanted; ++i) {
    try {
      threads.emplace_back([&gate] { gate.arrive(); });
    } catch (const std::exception&) {  // std::system_error, or no memory for its state
      break;
    }
  }
  gate.releaseWhen(static_cast<int>(threads.size()), std::chrono::hours(1));
  for (std::thread& thread : threads) thread.join();
  return static_cast<int>(threads.size());
}

// The threads the toolkit starts itself once the windows exist, and waits for: the D-Bus
// connection of the screen readers' bridge (its first use waits, without limit, for that thread
// to answer), the file dialog's file-information thread, and one to spare. The pool leaves room
// for them, or a start near a memory limit would hang before the first window shows.
constexpr int kToolkitThreads = 3;

}  // namespace

PaintThreads start_paint_threads(std::chrono::milliseconds limit) {
  QThreadPool* pool = QThreadPool::globalInstance();
  const int wanted = pool->maxThreadCount();
  const int room =
      std::min(wanted, threads_that_can_start(wanted + kToolkitThreads) - kToolkitThreads);
  if (room <= 0) return {};
  // With every thread kept busy below and never expiring, the pool reuses them for good.
  pool->setMaxThreadCount(room);
  pool->setExpiryTimeout(-1);
  // Shared with the tasks: a task on a thread that failed to start after all is never run and
  // never freed, and one may run after the wait below has given up.
  const auto gate = std::make_shared<Gate>();
  for (int i = 0; i < room; ++i) pool->start([gate] { gate->arrive(); });
  return {room, gate->releaseWhen(room, limit)};
}

}  // namespace lumigrid

#pragma once

// Work on items 0..count-1 done by worker threads and handed on in item order on the
// calling thread: the parallel scan reads and extracts files on the workers and writes
// their nodes in the walk's order, so that the graph is byte for byte the one a single
// thread writes. Workers run at most `window` items ahead of what was handed on, which
// bounds the results held at once.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace plinthar::scanner {

// Does `work(worker, item)` for every item on `workers` threads (worker is 0..workers-1,
// for state a worker keeps), and `hand_on(item, result)` on the calling thread in item
// order. An exception from either ends the rest and reaches the caller, the first one.
template <typename Result>
void in_order(std::size_t count, std::size_t workers, std::size_t window,
              const std::function<Result(std::size_t worker, std::size_t item)>& work,
              const std::function<void(std::size_t item, Result&& result)>& hand_on) {
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr failure;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Slot> slots(window);
  std::size_t next = 0;    // the next item a worker takes
  std::size_t handed = 0;  // items handed on so far
  bool stopping = false;

  const auto run_worker = [&](std::size_t worker) {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stopping || next >= count || next < handed + window; });
      if (stopping || next >= count) return;
      const std::size_t item = next++;
      lock.unlock();
      Slot done;
      try {
        done.result.emplace(work(worker, item));
      } catch (...) {
        done.failure = std::current_exception();
      }
      lock.lock();
      slots[item % window] = std::move(done);
      changed.notify_all();
    }
  };
  std::vector<std::jthread> threads;
  const auto stop = [&] {
    {
      std::lock_guard guard(mutex);
      stopping = true;
    }
    changed.notify_all();
    threads.clear();  // joins
  };
  for (std::size_t worker = 0; worker < workers; ++worker) threads.emplace_back(run_worker, worker);
  try {
    for (std::size_t item = 0; item < count; ++item) {
      Slot taken;
      {
        std::unique_lock lock(mutex);
        Slot& slot = slots[item % window];
        changed.wait(lock, [&] { return slot.result || slot.failure; });
        taken = std::move(slot);
        slot = Slot{};
        handed = item + 1;
      }
      changed.notify_all();
      if (taken.failure) std::rethrow_exception(taken.failure);
      hand_on(item, std::move(*taken.result));
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
}

}  // namespace plinthar::scanner

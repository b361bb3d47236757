// Running many slow jobs a few at a time while the results come out in input order. Items are
// taken one by one from a source that may block (standard input), handed to `work` on up to
// `jobs` threads, and given to `emit` strictly in the order they were taken. Workers never run
// more than a bounded distance ahead of the oldest unfinished item, so a stuck request cannot make
// the finished results pile up without limit.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace lumaclip::cli {

// How far ahead of the oldest unemitted item the workers may take items, per job.
inline constexpr std::size_t kItemsAheadPerJob = 16;

template <typename Item, typename Result>
struct OrderedBatch {
  std::function<std::optional<Item>()> next;    // one thread at a time; nullopt: no more, ever
  std::function<Result(Item&)> work;            // called concurrently
  std::function<void(const Result&)> finished;  // in completion order, one at a time
  std::function<bool(Result&)> emit;  // in input order, one at a time; false stops the batch
};

// Returns false when `emit` stopped the batch. Items already taken are finished first.
template <typename Item, typename Result>
bool RunOrderedBatch(int jobs, const OrderedBatch<Item, Result>& batch) {
  const std::size_t window = static_cast<std::size_t>(jobs < 1 ? 1 : jobs) * kItemsAheadPerJob;
  std::mutex takeMutex;  // serialises `next`, which may block on input
  std::mutex stateMutex;
  std::condition_variable room;
  std::size_t taken = 0;
  std::size_t emitted = 0;
  bool stopped = false;
  bool exhausted = false;  // guarded by takeMutex
  std::map<std::size_t, Result> ready;

  auto worker = [&] {
    for (;;) {
      std::optional<Item> item;
      std::size_t index = 0;
      {
        std::lock_guard take(takeMutex);
        {
          std::unique_lock state(stateMutex);
          room.wait(state, [&] { return stopped || taken < emitted + window; });
          if (stopped) return;
        }
        if (exhausted) return;
        item = batch.next();
        if (!item) {
          exhausted = true;
          return;
        }
        std::lock_guard state(stateMutex);
        index = taken++;
      }
      Result result = batch.work(*item);
      std::lock_guard state(stateMutex);
      if (batch.finished) batch.finished(result);
      ready.emplace(index, std::move(result));
      for (auto head = ready.find(emitted); head != ready.end(); head = ready.find(emitted)) {
        if (!stopped && !batch.emit(head->second)) stopped = true;
        ready.erase(head);
        ++emitted;
      }
      room.notify_all();
    }
  };

  std::vector<std::thread> helpers;
  for (int i = 1; i < jobs; ++i) helpers.emplace_back(worker);
  worker();
  for (std::thread& helper : helpers) helper.join();
  return !stopped;
}

}  // namespace lumaclip::cli

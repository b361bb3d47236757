// The batch runner: results in input order whatever order the work ends in, no more than `jobs`
// items at work at once (and that many reached), a bounded distance ahead of a stuck item, and a
// stop that finishes what was taken.
#include "cli/ordered_batch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <vector>

namespace lumaclip::cli {
namespace {

using namespace std::chrono_literals;

TEST(OrderedBatch, EmitsInInputOrderWithBoundedConcurrency) {
  for (int jobs : {1, 3, 16}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    constexpr int kItems = 300;
    int nextItem = 0;
    std::atomic<int> atWork{0}, mostAtWork{0};
    std::mutex gateMutex;
    std::condition_variable gate;
    std::vector<int> emitted, finished;

    OrderedBatch<int, int> batch;
    batch.next = [&]() -> std::optional<int> {
      if (nextItem == kItems) return std::nullopt;
      return nextItem++;
    };
    batch.work = [&](int& item) {
      const int now = ++atWork;
      int most = mostAtWork.load();
      while (now > most && !mostAtWork.compare_exchange_weak(most, now)) {
      }
      if (item < jobs) {
        // The first items wait for each other, so `jobs` of them must be at work together.
        std::unique_lock lock(gateMutex);
        gate.notify_all();
        gate.wait_for(lock, 10s, [&] { return mostAtWork.load() >= jobs; });
      } else {
        // Later items end in a scrambled order.
        std::this_thread::sleep_for(std::chrono::microseconds((item * 7919) % 1500));
      }
      --atWork;
      return item * 2;
    };
    batch.finished = [&](const int& result) { finished.push_back(result); };
    batch.emit = [&](int& result) {
      emitted.push_back(result);
      return true;
    };
    EXPECT_TRUE(RunOrderedBatch(jobs, batch));
    ASSERT_EQ(emitted.size(), static_cast<size_t>(kItems));
    for (int i = 0; i < kItems; ++i) ASSERT_EQ(emitted[static_cast<size_t>(i)], 2 * i);
    EXPECT_EQ(finished.size(), emitted.size());
    EXPECT_EQ(mostAtWork.load(), jobs);
  }
}

TEST(OrderedBatch, StaysABoundedDistanceAheadOfAStuckItem) {
  const int jobs = 4;
  const int window = jobs * static_cast<int>(kItemsAheadPerJob);
  std::atomic<int> taken{0};
  int takenWhileStuck = -1;
  OrderedBatch<int, int> batch;
  batch.next = [&]() -> std::optional<int> {
    if (taken == 10 * window) return std::nullopt;
    return taken++;
  };
  batch.work = [&](int& item) {
    if (item == 0) {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (taken < window && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
      }
      std::this_thread::sleep_for(50ms);  // room for a runaway worker to show itself
      takenWhileStuck = taken;
    }
    return item;
  };
  int expected = 0;
  batch.emit = [&](int& result) { return result == expected++; };
  EXPECT_TRUE(RunOrderedBatch(jobs, batch));
  EXPECT_EQ(takenWhileStuck, window);
  EXPECT_EQ(expected, 10 * window);
}

TEST(OrderedBatch, StopsWhenEmitFails) {
  int nextItem = 0;
  std::vector<int> emitted;
  OrderedBatch<int, int> batch;
  batch.next = [&]() -> std::optional<int> {
    if (nextItem == 1000) return std::nullopt;
    return nextItem++;
  };
  batch.work = [](int& item) { return item; };
  batch.emit = [&](int& result) {
    emitted.push_back(result);
    return result < 5;
  };
  EXPECT_FALSE(RunOrderedBatch(8, batch));
  EXPECT_EQ(emitted, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_LE(nextItem, 6 + 8 * static_cast<int>(kItemsAheadPerJob));
}

}  // namespace
}  // namespace lumaclip::cli

#include "plinthar/scanner/ordered_work.hpp"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

// Items done out of order (later ones faster) come out in order, and the workers never
// hold more than the window of items not handed on yet.
TEST(InOrder, HandsResultsOnInItemOrderWithinTheWindow) {
  for (const std::size_t workers : {1U, 2U, 5U}) {
    constexpr std::size_t count = 200;
    constexpr std::size_t window = 8;
    std::atomic<std::size_t> started{0};
    std::size_t handed = 0;
    std::size_t most_ahead = 0;
    std::vector<std::size_t> seen;
    in_order<std::size_t>(
        count, workers, window,
        [&](std::size_t, std::size_t item) {
          ++started;
          std::this_thread::sleep_for(std::chrono::microseconds((count - item) % 7 * 50));
          return item * 3;
        },
        [&](std::size_t item, std::size_t&& result) {
          EXPECT_EQ(result, item * 3);
          seen.push_back(item);
          ++handed;
          most_ahead = std::max(most_ahead, started.load() - handed);
        });
    ASSERT_EQ(seen.size(), count);
    for (std::size_t item = 0; item < count; ++item) ASSERT_EQ(seen[item], item);
    EXPECT_LE(most_ahead, window) << workers << " workers";
  }
}

// A failure on a worker, or while handing on, ends the work and reaches the caller.
TEST(InOrder, AFailureOnEitherSideReachesTheCaller) {
  const auto run = [](std::size_t failing_work, std::size_t failing_hand_on) {
    std::size_t handed = 0;
    in_order<int>(
        100, 3, 4,
        [&](std::size_t, std::size_t item) {
          if (item == failing_work) throw std::runtime_error("work");
          return 0;
        },
        [&](std::size_t item, int&&) {
          if (item == failing_hand_on) throw std::runtime_error("hand on");
          ++handed;
        });
    return handed;
  };
  EXPECT_THROW(run(40, 1000), std::runtime_error);
  EXPECT_THROW(run(1000, 40), std::runtime_error);
  EXPECT_EQ(run(1000, 1000), 100U);
}

}  // namespace
}  // namespace plinthar::scanner

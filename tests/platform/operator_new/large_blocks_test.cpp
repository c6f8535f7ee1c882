// crv's operator new (huge_page_new.cpp), linked into this program alone besides crv:
// large blocks allocated and freed from several threads at once must each stay whole
// and go back to where they came from.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Allocates, fills, checks and frees blocks of 1 to 5 MiB, a few alive at a time, so
// that several threads enter and leave the table of large blocks together.
void churn_large_blocks(char mark, int rounds, std::string& failure) {
  std::vector<std::unique_ptr<char[]>> alive(3);
  std::vector<std::size_t> sizes(alive.size());
  for (int round = 0; round < rounds && failure.empty(); ++round) {
    const std::size_t slot = static_cast<std::size_t>(round) % alive.size();
    if (alive[slot]) {
      const char* block = alive[slot].get();
      if (block[0] != mark || block[sizes[slot] - 1] != mark || block[sizes[slot] / 2] != mark) {
        failure = std::string("block of thread ") + mark + " was overwritten";
      }
    }
    sizes[slot] = (std::size_t{1} << 20) + static_cast<std::size_t>(round % 5) * (1 << 20) + 123;
    alive[slot] = std::make_unique<char[]>(sizes[slot]);
    std::fill_n(alive[slot].get(), sizes[slot], mark);
  }
}

TEST(LargeBlocks, ManyThreadsAllocateAndFreeTogether) {
  constexpr int THREADS = 4;
  std::vector<std::string> failures(THREADS);
  std::vector<std::thread> threads;
  for (int i = 0; i < THREADS; ++i) {
    threads.emplace_back(churn_large_blocks, static_cast<char>('a' + i), 400,
                         std::ref(failures[static_cast<std::size_t>(i)]));
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
}

// More live large blocks than the table holds: the rest come from malloc, and every one
// is freed by the right means.
TEST(LargeBlocks, MoreLiveBlocksThanTheTableHolds) {
  std::vector<std::unique_ptr<char[]>> blocks;
  for (int i = 0; i < 100; ++i) {
    blocks.push_back(std::make_unique<char[]>(std::size_t{1} << 20));
    blocks.back()[(std::size_t{1} << 20) - 1] = static_cast<char>(i);
  }
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(blocks[static_cast<std::size_t>(i)][(std::size_t{1} << 20) - 1],
              static_cast<char>(i));
  }
  blocks.clear();
  EXPECT_NE(std::make_unique<char[]>(std::size_t{3} << 20), nullptr);
}

}  // namespace

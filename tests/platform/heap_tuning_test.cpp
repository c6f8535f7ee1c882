#include "plinthar/platform/heap_tuning.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::platform {
namespace {

TEST(HeapTuning, ReserveIsBounded) { EXPECT_LE(default_heap_reserve(), std::size_t{256} << 20); }

// A quarter of the memory, at most 256 MiB, also for boards whose memory in bytes a
// 32-bit size_t cannot count.
TEST(HeapTuning, ReserveForMachinesOfEverySize) {
  constexpr std::uint64_t MIB = std::uint64_t{1} << 20;
  const std::tuple<std::uint64_t, std::uint64_t, std::size_t> cases[] = {
      {0, 4096, 0},
      {(512 * MIB) / 4096, 4096, 128 << 20},
      {(4096 * MIB) / 4096, 4096, 256 << 20},
      {(4096 * MIB) / 65536, 65536, 256 << 20},
      {(8192 * MIB + 4096) / 4096, 4096, 256 << 20},
  };
  for (const auto& [pages, page_size, reserve] : cases) {
    EXPECT_EQ(heap_reserve_for(pages, page_size), reserve) << pages << " x " << page_size;
  }
}

// After tuning (twice: the second call must change nothing), blocks of every size, up
// past the reserve and past what mmap() would have served, must keep their contents
// while others are freed and reallocated around them.
TEST(HeapTuning, BlocksOfEverySizeKeepTheirContents) {
  tune_heap_for_large_graph(std::size_t{8} << 20);
  tune_heap_for_large_graph(std::size_t{8} << 20);
  std::vector<std::string> blocks;
  for (std::size_t size = 1; size <= (std::size_t{40} << 20); size = size * 3 + 7) {
    blocks.emplace_back(size, static_cast<char>('a' + blocks.size() % 26));
  }
  for (std::size_t i = 0; i < blocks.size(); i += 2) std::string().swap(blocks[i]);
  for (std::size_t i = 0; i < blocks.size(); i += 2) blocks[i].assign(i * 1000 + 1, 'z');
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const char expected = i % 2 == 0 ? 'z' : static_cast<char>('a' + i % 26);
    ASSERT_FALSE(blocks[i].empty());
    EXPECT_EQ(blocks[i].find_first_not_of(expected), std::string::npos) << "block " << i;
  }
}

}  // namespace
}  // namespace plinthar::platform

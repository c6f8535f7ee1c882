#include "plinthar/platform/heap_tuning.hpp"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::platform {
namespace {

// After tuning (twice: the second call must change nothing), blocks of every size, up
// past what mmap() would have served, must keep their contents while others are freed
// and reallocated around them.
TEST(HeapTuning, BlocksOfEverySizeKeepTheirContents) {
  tune_heap_for_large_graph();
  tune_heap_for_large_graph();
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

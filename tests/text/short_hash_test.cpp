#include "plinthar/text/short_hash.hpp"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::text {
namespace {

TEST(ShortHash, FirstFourBytesOfTheMd5InHex) {
  EXPECT_EQ(short_hash(""), "d41d8cd9");
  EXPECT_EQ(short_hash("text\n"), "e1cbb0c3");
}

// Threads hashing at once get the digests one thread gets: with one digest context for
// all, their updates mix.
TEST(ShortHash, ThreadsHashingAtOnceGetTheDigestsOfOneThread) {
  std::vector<std::string> texts;
  for (int i = 0; i < 500; ++i)
    texts.push_back(std::string(static_cast<std::size_t>(i) * 7, 'x') + std::to_string(i));
  std::vector<std::string> alone;
  for (const std::string& text : texts) alone.push_back(short_hash(text));
  std::vector<std::vector<std::string>> seen(4);
  std::vector<std::thread> threads;
  for (auto& digests : seen) {
    threads.emplace_back([&digests, &texts] {
      for (int round = 0; round < 10; ++round) {
        digests.clear();
        for (const std::string& text : texts) digests.push_back(short_hash(text));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& digests : seen) EXPECT_EQ(digests, alone);
}

}  // namespace
}  // namespace plinthar::text

#include "plinthar/query/graph_file_text.hpp"

#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_util.hpp"

namespace plinthar::query {
namespace {

// The bytes of `text` and whether its padding reads as zeros.
std::pair<std::string, bool> contents(const GraphFileText& text) {
  const simdjson::padded_string_view view = text.view();
  bool zero_padding = view.capacity() >= view.size() + simdjson::SIMDJSON_PADDING;
  for (std::size_t i = 0; zero_padding && i < simdjson::SIMDJSON_PADDING; ++i) {
    zero_padding = view.data()[view.size() + i] == '\0';
  }
  return {std::string(view.data(), view.size()), zero_padding};
}

TEST(GraphFileText, HoldsTheBytesOfFilesOfAnySizeWithZeroPadding) {
  testing::TempDir dir;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4096 - 10},
                                 std::size_t{4096}, std::size_t{100000}}) {
    std::string content(size, 'x');
    for (std::size_t i = 0; i < size; i += 7) content[i] = static_cast<char>('a' + i % 26);
    const auto text = GraphFileText::read(dir.write("g" + std::to_string(size), content));
    ASSERT_TRUE(text.has_value()) << size;
    EXPECT_EQ(contents(*text), std::pair(content, true)) << size;
  }
}

TEST(GraphFileText, BytesGivenBackReadAgainFromTheFile) {
  testing::TempDir dir;
  std::string content(std::size_t{20} << 20, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
  const auto text = GraphFileText::read(dir.write("big.json", content));
  ASSERT_TRUE(text.has_value());
  text->release_before(text->view().data() + content.size() - 100);
  EXPECT_EQ(contents(*text), std::pair(content, true));
}

TEST(GraphFileText, ReadsPipesToTheEnd) {
  testing::TempDir dir;
  const auto fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string content(200000, 'p');
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
  const auto text = GraphFileText::read(fifo);
  writer.join();
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(contents(*text), std::pair(content, true));
}

TEST(GraphFileText, RefusesDirectoriesAndMissingFiles) {
  testing::TempDir dir;
  EXPECT_FALSE(GraphFileText::read(dir.path()).has_value());
  EXPECT_FALSE(GraphFileText::read(dir / "missing.json").has_value());
}

}  // namespace
}  // namespace plinthar::query

#include "plinthar/scanner/file_io.hpp"

#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "plinthar/scanner/error.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {
namespace {
namespace fs = std::filesystem;

std::size_t entries_in(const fs::path& directory) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), {}));
}

TEST(WriteFileAtomically, ReplacesWholeOrLeavesTheOldFile) {
  testing::TempDir dir;
  const auto target = dir.write("g.json", "old");
  write_file_atomically(target, [](const TextSink& emit) {
    emit("new ");
    emit("text");
  });
  EXPECT_EQ(testing::read_text(target), "new text");
  EXPECT_THROW(write_file_atomically(target,
                                     [](const TextSink& emit) {
                                       emit("half");
                                       throw std::runtime_error("interrupted");
                                     }),
               std::runtime_error);
  EXPECT_EQ(testing::read_text(target), "new text");
  EXPECT_EQ(entries_in(dir.path()), 1u);  // no temporary file left behind
}

TEST(WriteFileAtomically, MissingDirectoryIsAnError) {
  testing::TempDir dir;
  EXPECT_THROW(write_file_atomically(dir / "missing/g.json", "x"), Error);
}

TEST(ReadFile, MissingFileAndDirectoryReadAsNothing) {
  testing::TempDir dir;
  EXPECT_FALSE(read_file(dir / "missing"));
  EXPECT_FALSE(read_file(dir.path()));
  EXPECT_EQ(read_file(dir.write("a", "bytes\0x")).value_or(""), "bytes");
}

}  // namespace
}  // namespace plinthar::scanner

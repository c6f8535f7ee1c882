#include "plinthar/text/file_io.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/text/text_sink.hpp"
#include "test_util.hpp"

namespace plinthar::text {
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

// A writer killed before its rename leaves its temporary behind; the next write removes
// those of its own pattern once they are a minute old, and nothing else.
TEST(WriteFileAtomically, RemovesStaleTemporariesOfItsTargetOnly) {
  testing::TempDir dir;
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::minutes(2);
  const struct {
    std::string name;
    bool old;
    bool removed;
  } entries[] = {
      {"g.json.tmp.a1B2c3", true, true},    // a killed writer's
      {"g.json.tmp.Zz9yY8", false, false},  // a writer still at work
      {"g.json.tmp.a1B2c", true, false},    // not mkstemp's six characters
      {"g.json.tmp.a1B2c3d", true, false}, {"g.json.tmp.a1B-c3", true, false},
      {"h.json.tmp.a1B2c3", true, false},  // another target's
      {"xg.json.tmp.a1B2c3", true, false}, {"g.json.bak", true, false},
  };
  for (const auto& entry : entries) {
    const auto path = dir.write(entry.name, "partial");
    if (entry.old) fs::last_write_time(path, old_time);
  }
  fs::create_directory(dir / "g.json.tmp.D1r3ct");
  fs::last_write_time(dir / "g.json.tmp.D1r3ct", old_time);
  write_file_atomically(dir / "g.json", "new");
  EXPECT_EQ(testing::read_text(dir / "g.json"), "new");
  for (const auto& entry : entries) {
    EXPECT_EQ(fs::exists(dir / entry.name), !entry.removed) << entry.name;
  }
  EXPECT_TRUE(fs::is_directory(dir / "g.json.tmp.D1r3ct"));
}

TEST(WriteFileAtomically, MissingDirectoryIsAnError) {
  testing::TempDir dir;
  EXPECT_THROW(write_file_atomically(dir / "missing/g.json", "x"), Error);
}

// Nothing but a regular file is read, and a FIFO without a writer does not block.
TEST(ReadWholeFile, ReadsRegularFilesOnly) {
  testing::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_symlink(dir / "nowhere", dir / "dangling");
  fs::create_symlink(dir / "loop", dir / "loop");
  fs::create_symlink("/dev/null", dir / "null");
  fs::create_symlink(dir / "fifo", dir / "to-fifo");
  const fs::path file = dir.write("file", "bytes");
  fs::create_symlink(file, dir / "to-file");
  const struct {
    fs::path path;
    FileRead outcome;
  } cases[] = {
      {file, FileRead::read},
      {dir / "to-file", FileRead::read},
      {dir / "missing", FileRead::missing},
      {dir / "missing/below", FileRead::missing},
      {dir / "file/below", FileRead::missing},
      {dir / "dangling", FileRead::missing},
      {dir / "loop", FileRead::missing},
      {dir.path(), FileRead::directory},
      {dir / "fifo", FileRead::not_regular},
      {dir / "to-fifo", FileRead::not_regular},
      {dir / "null", FileRead::not_regular},
  };
  for (const auto& c : cases) {
    const WholeFile read = read_whole_file(c.path);
    EXPECT_EQ(read.outcome, c.outcome) << c.path;
    EXPECT_EQ(read.bytes, c.outcome == FileRead::read ? "bytes" : "") << c.path;
    // Not followed, every link is an error; what is no link reads as before.
    const WholeFile unlinked = read_whole_file(c.path, Links::not_followed);
    const bool link = fs::is_symlink(c.path);
    EXPECT_EQ(unlinked.outcome, link ? FileRead::failed : c.outcome) << c.path;
  }
  EXPECT_EQ(read_failure(dir / "to-file", read_whole_file(dir / "to-file", Links::not_followed)),
            "cannot read " + (dir / "to-file").string() +
                ": it is a symbolic link, which crv does not follow there");
  EXPECT_EQ(read_failure(dir / "fifo", read_whole_file(dir / "fifo")),
            "cannot read " + (dir / "fifo").string() + ": not a regular file");
  EXPECT_EQ(read_failure(dir.path(), read_whole_file(dir.path())),
            "cannot read " + dir.path().string() + ": it is a directory");
}

TEST(ReadWholeFile, UnreadableFileFailsWithTheReason) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  testing::TempDir dir;
  const fs::path file = dir.write("secret", "x");
  fs::permissions(file, fs::perms::none);
  const WholeFile read = read_whole_file(file);
  EXPECT_EQ(read.outcome, FileRead::failed);
  EXPECT_EQ(read_failure(file, read), "cannot read " + file.string() + ": Permission denied");
}

TEST(ReadFile, MissingFileAndDirectoryReadAsNothing) {
  testing::TempDir dir;
  EXPECT_FALSE(read_file(dir / "missing"));
  EXPECT_FALSE(read_file(dir.path()));
  EXPECT_EQ(read_file(dir.write("a", "bytes\0x")).value_or(""), "bytes");
}

// A string cannot hold 2 GiB on a 32-bit system: such files are refused with their whole
// size (read in 64 bits) rather than read with a size cut to 32 bits.
TEST(ReadFile, RefusesFilesBeyondA32BitString) {
  if (sizeof(std::size_t) > 4) GTEST_SKIP() << "a 64-bit string holds these sizes";
  testing::TempDir dir;
  for (const std::uint64_t size : {std::uint64_t{2} << 30, (std::uint64_t{4} << 30) + 5}) {
    const auto path = dir.sparse("log" + std::to_string(size), size);
    try {
      read_file(path);
      ADD_FAILURE() << "read " << size << " bytes";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "cannot read " + path.string() + ": " + std::to_string(size) +
                    " bytes do not fit in the address space of this system");
    }
  }
}

// One buffer carried from file to file (larger, smaller, empty, at the limit) must hold
// exactly each file's bytes, and the refusals leave the size out.
TEST(ReadSmallFile, ReusedBufferHoldsEachFileExactly) {
  testing::TempDir dir;
  const std::string big(70000, 'b');
  const std::string limit(100, 'l');
  const std::vector<std::pair<fs::path, std::string>> files = {
      {dir.write("big.txt", big), big},
      {dir.write("small.txt", "tiny"), "tiny"},
      {dir.write("empty.txt", ""), ""},
      {dir.write("limit.txt", limit), limit},
      {dir.write("nul.txt", std::string("a\0b", 3)), std::string("a\0b", 3)}};
  std::string bytes = "left over from before";
  for (const auto& [path, content] : files) {
    SCOPED_TRACE(path.filename().string());
    const auto size = read_small_file(path, 70000, bytes);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(bytes, content);
    const auto whole = read_small_file(path, 70000);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->bytes, content);
  }
  EXPECT_FALSE(read_small_file(dir / "big.txt", 69999, bytes));
  EXPECT_FALSE(read_small_file(dir / "missing.txt", 70000, bytes));
  EXPECT_FALSE(read_small_file(dir.path(), 70000, bytes));
}

// The kernel's pseudo files report sizes they do not have (environ: 0 bytes) and hold
// what the reading process must not hand on: they are never read, through a link or not.
TEST(ReadSmallFile, NeverReadsPseudoFiles) {
  testing::TempDir dir;
  fs::create_symlink("/proc/self/environ", dir / "NOTES.md");
  std::string bytes;
  EXPECT_FALSE(read_small_file(dir / "NOTES.md", 1 << 20, bytes));
  EXPECT_FALSE(read_small_file("/proc/self/status", 1 << 20, bytes));
  if (fs::exists("/sys/kernel/mm/transparent_hugepage/enabled")) {
    EXPECT_FALSE(read_small_file("/sys/kernel/mm/transparent_hugepage/enabled", 1 << 20, bytes));
  }
}

}  // namespace
}  // namespace plinthar::text

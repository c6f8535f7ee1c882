#include "plinthar/platform/padded_file.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "test_util.hpp"

namespace plinthar::platform {
namespace {

constexpr std::size_t PADDING = 64;

std::optional<PaddedFile> read(const std::filesystem::path& path) {
  return PaddedFile::read(path, PADDING);
}

// The bytes of `file` and whether its padding reads as zeros.
std::pair<std::string, bool> contents(const PaddedFile& file) {
  bool zero_padding = file.readable() >= file.size() + PADDING;
  for (std::size_t i = 0; zero_padding && i < PADDING; ++i) {
    zero_padding = file.data()[file.size() + i] == '\0';
  }
  return {std::string(file.data(), file.size()), zero_padding};
}

TEST(PaddedFile, HoldsTheBytesOfFilesOfAnySizeWithZeroPadding) {
  testing::TempDir dir;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4096 - 10},
                                 std::size_t{4096}, std::size_t{100000}}) {
    std::string content(size, 'x');
    for (std::size_t i = 0; i < size; i += 7) content[i] = static_cast<char>('a' + i % 26);
    const auto text = read(dir.write("g" + std::to_string(size), content));
    ASSERT_TRUE(text.has_value()) << size;
    EXPECT_EQ(contents(*text), std::pair(content, true)) << size;
  }
}

// A mapped file that another program truncates kills the reader with SIGBUS when it
// touches the pages that went; bytes read into memory stay as read.
TEST(PaddedFile, BytesStayAsReadWhenTheFileIsTruncatedOrRewritten) {
  testing::TempDir dir;
  std::string content(std::size_t{20} << 20, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
  const auto path = dir.write("big.json", content);
  const auto text = read(path);
  ASSERT_TRUE(text.has_value());
  std::filesystem::resize_file(path, 0);
  EXPECT_EQ(contents(*text), std::pair(content, true));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "{}";
  EXPECT_EQ(contents(*text), std::pair(content, true));
}

TEST(PaddedFile, NothingWhenNoFileIsThere) {
  testing::TempDir dir;
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  EXPECT_FALSE(read(dir / "missing.json").has_value());
  EXPECT_FALSE(read(dir / "dangling").has_value());
  EXPECT_FALSE(read(dir / "missing/below.json").has_value());
}

// Nothing is read from a directory, a FIFO (no writer: the open must not wait) or a
// device (/dev/zero would never end).
TEST(PaddedFile, RefusesWhatIsNotARegularFile) {
  testing::TempDir dir;
  const auto fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {dir.path(), "it is a directory"},
      {fifo, "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {"/dev/null", "not a regular file"},
  };
  for (const auto& [path, reason] : cases) {
    try {
      read(path);
      ADD_FAILURE() << path << " was read";
    } catch (const Error& error) {
      EXPECT_EQ(error.what(), "cannot read " + path.string() + ": " + reason);
    }
  }
}

// Sizes that a 32-bit size_t cannot count with the padding: refused with the whole size
// in the message (which also shows that the size was read in 64 bits), never cut short.
TEST(PaddedFile, RefusesFilesBeyondA32BitAddressSpace) {
  if (sizeof(std::size_t) > 4) GTEST_SKIP() << "a 64-bit address space holds these sizes";
  testing::TempDir dir;
  for (const std::uint64_t size :
       {(std::uint64_t{4} << 30) - 4096, std::uint64_t{4} << 30, (std::uint64_t{5} << 30) + 3}) {
    const auto path = dir.sparse("g" + std::to_string(size), size);
    try {
      read(path);
      ADD_FAILURE() << "read " << size << " bytes";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "cannot read " + path.string() + ": " + std::to_string(size) +
                    " bytes do not fit in the address space of this system");
    }
  }
}

// A file that fits the size_t but not the address space left (a 2-3 GiB graph on a
// 32-bit system, here a 256 MiB one under a limit) is refused, not copied into memory.
TEST(PaddedFile, RefusesAFileTheAddressSpaceHasNoRoomFor) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer needs address space of its own";
#endif
  testing::TempDir dir;
  const auto path = dir.sparse("g.json", std::size_t{256} << 20);
  const pid_t child = ::fork();
  if (child == 0) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t room = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64 << 20);
    const rlimit limit{room, room};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(3);
    const std::string expected = "cannot read " + path.string() +
                                 ": 268435456 bytes do not fit in the address space of this system";
    try {
      read(path);
    } catch (const Error& error) {
      ::_exit(error.what() == expected ? 0 : 1);
    } catch (...) {
      ::_exit(4);
    }
    ::_exit(2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  // An emulator keeps the limit to itself.
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "the address space limit is not applied here";
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "1: another message, 3: no limit could be set, 4: another exception";
}

// sysfs files state a size of a page and hold less: to a reader they look like a file
// truncated while it was read.
TEST(PaddedFile, FileHoldingLessThanItStatesIsAnError) {
  const std::filesystem::path path = "/sys/kernel/mm/transparent_hugepage/enabled";
  std::error_code error;
  const auto stated = std::filesystem::file_size(path, error);
  if (error || stated <= testing::read_text(path).size()) {
    GTEST_SKIP() << path << " does not state more than it holds here";
  }
  try {
    read(path);
    ADD_FAILURE() << path << " was read";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.what(), "cannot read " + path.string() + ": it changed while being read");
  }
}

}  // namespace
}  // namespace plinthar::platform

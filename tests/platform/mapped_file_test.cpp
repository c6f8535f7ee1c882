#include "plinthar/platform/mapped_file.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

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

TEST(PaddedFile, BytesGivenBackReadAgainFromTheFile) {
  testing::TempDir dir;
  std::string content(std::size_t{20} << 20, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 23);
  const auto text = read(dir.write("big.json", content));
  ASSERT_TRUE(text.has_value());
  text->release_before(text->data() + content.size() - 100);
  EXPECT_EQ(contents(*text), std::pair(content, true));
}

TEST(PaddedFile, ReadsPipesToTheEnd) {
  testing::TempDir dir;
  const auto fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string content(200000, 'p');
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
  const auto text = read(fifo);
  writer.join();
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(contents(*text), std::pair(content, true));
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

TEST(PaddedFile, RefusesDirectoriesAndMissingFiles) {
  testing::TempDir dir;
  EXPECT_FALSE(read(dir.path()).has_value());
  EXPECT_FALSE(read(dir / "missing.json").has_value());
}

}  // namespace
}  // namespace plinthar::platform

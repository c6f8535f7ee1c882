#include "plinthar/platform/mapped_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"

namespace plinthar::platform {
namespace {

// Closes a file descriptor at the end of a scope.
struct OpenFile {
  int fd;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to `size` bytes into `data`, going on after short reads until the end of
// the file; the count read, or -1 with errno set on an error.
ssize_t read_up_to(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::read(fd, data + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return -1;
    if (count == 0) break;
    done += static_cast<std::size_t>(count);
  }
  return static_cast<ssize_t>(done);
}

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& reason) {
  throw Error("cannot read " + path.string() + ": " + reason);
}

}  // namespace

std::optional<PaddedFile> PaddedFile::read(const std::filesystem::path& path, std::size_t padding) {
  // O_NONBLOCK keeps a FIFO without a writer from blocking the open.
  const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) return std::nullopt;
  struct stat status {};
  if (file.fd < 0 || ::fstat(file.fd, &status) != 0) fail(path, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) fail(path, "it is a directory");
  if (!S_ISREG(status.st_mode)) fail(path, "not a regular file");
  // On a 32-bit system a file can state more than memory can hold.
  if (static_cast<std::uintmax_t>(status.st_size) > SIZE_MAX - padding) {
    fail(path, "too large to read into memory");
  }
  const auto size = static_cast<std::size_t>(status.st_size);
  // Not zero-filled: every byte but the padding is read over.
  auto bytes = std::make_unique_for_overwrite<char[]>(size + padding);
  std::memset(bytes.get() + size, 0, padding);
  const ssize_t count = read_up_to(file.fd, bytes.get(), size);
  if (count < 0) fail(path, std::strerror(errno));
  // One byte more than stated means the file grew; fewer, that it was truncated.
  char beyond = 0;
  if (static_cast<std::size_t>(count) != size || read_up_to(file.fd, &beyond, 1) != 0) {
    fail(path, "it changed while being read");
  }
  return PaddedFile(std::move(bytes), size, size + padding);
}

}  // namespace plinthar::platform

#include "plinthar/platform/padded_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
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

// Reads up to `size` bytes at `offset` into `data`, going on after short reads until
// the end of the file; the count read, or -1 with errno set on an error.
ssize_t read_up_to(int fd, char* data, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
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

// Whether `size` bytes and the padding can be counted in a size_t, compared in 64 bits:
// a 32-bit system cannot hold files of 4 GiB and more at all.
bool fits_in_address_space(off_t size, std::size_t padding) {
  return static_cast<std::uint64_t>(size) <= SIZE_MAX - padding;
}

[[noreturn]] void refuse_as_too_large(const std::filesystem::path& path, off_t size) {
  fail(path, std::to_string(size) + " bytes do not fit in the address space of this system");
}

}  // namespace

std::optional<PaddedFile> PaddedFile::read(const std::filesystem::path& path, std::size_t padding) {
  // O_NONBLOCK keeps a FIFO without a writer from blocking the open.
  const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) return std::nullopt;
  if (file.fd < 0) fail(path, std::strerror(errno));
  return read(file.fd, padding, path);
}

PaddedFile PaddedFile::read(int fd, std::size_t padding, const std::filesystem::path& name) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) fail(name, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) fail(name, "it is a directory");
  if (!S_ISREG(status.st_mode)) fail(name, "not a regular file");
  if (!fits_in_address_space(status.st_size, padding)) refuse_as_too_large(name, status.st_size);
  const auto size = static_cast<std::size_t>(status.st_size);
  // Not zero-filled: every byte but the padding is read over. A 32-bit system may have
  // no room left for a file its size_t can count.
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[size + padding]);
  if (!bytes) refuse_as_too_large(name, status.st_size);
  std::memset(bytes.get() + size, 0, padding);
  const ssize_t count = read_up_to(fd, bytes.get(), size, 0);
  if (count < 0) fail(name, std::strerror(errno));
  // One byte more than stated means the file grew; fewer, that it was truncated.
  char beyond = 0;
  if (static_cast<std::size_t>(count) != size ||
      read_up_to(fd, &beyond, 1, static_cast<off_t>(size)) != 0) {
    fail(name, "it changed while being read");
  }
  return PaddedFile(std::move(bytes), size, size + padding);
}

}  // namespace plinthar::platform

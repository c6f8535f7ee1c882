#include "plinthar/text/file_lock.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>

#include "plinthar/error.hpp"

namespace plinthar::text {
namespace fs = std::filesystem;

namespace {

int open_lock_file(const fs::path& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
}

[[noreturn]] void fail_locking(const fs::path& path, int error_number) {
  throw Error("cannot lock " + path.string() + ": " + std::strerror(error_number));
}

}  // namespace

FileLock FileLock::wait_for(const fs::path& path) {
  const int fd = open_lock_file(path);
  if (fd < 0) fail_locking(path, errno);
  FileLock lock(fd);
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) fail_locking(path, errno);
  }
  return lock;
}

std::optional<FileLock> FileLock::try_take(const fs::path& path) {
  const int fd = open_lock_file(path);
  if (fd < 0) return std::nullopt;
  FileLock lock(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  return lock;
}

}  // namespace plinthar::text

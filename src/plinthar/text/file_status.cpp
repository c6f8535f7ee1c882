#include "plinthar/text/file_status.hpp"

#include <sys/stat.h>

namespace plinthar::text {
namespace {

std::int64_t nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileStatus status_of(const struct stat& status) {
  FileStatus out;
  out.size = static_cast<std::uint64_t>(status.st_size);
  out.inode = static_cast<std::uint64_t>(status.st_ino);
  out.device = static_cast<std::uint64_t>(status.st_dev);
  out.mtime_ns = nanoseconds(status.st_mtim);
  out.ctime_ns = nanoseconds(status.st_ctim);
  return out;
}

}  // namespace

std::optional<FileStatus> file_status(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return status_of(status);
}

std::optional<FileStatus> file_status(const std::filesystem::path& path) {
  return file_status(path.c_str());
}

std::optional<FileStatus> file_status(const char* path) {
  struct stat status {};
  if (::stat(path, &status) != 0) return std::nullopt;
  return status_of(status);
}

}  // namespace plinthar::text

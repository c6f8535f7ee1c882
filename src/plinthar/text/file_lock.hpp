#pragma once

// An exclusive advisory lock on a lock file (flock), released when the lock goes. The
// writers of a graph file and its index hold the graph's lock while they replace the two,
// so that a pair is always written as one; readers take none and read from descriptors
// of their own, which keep the version they opened.

#include <filesystem>
#include <memory>
#include <optional>

#include "plinthar/text/file_io.hpp"

namespace plinthar::text {

class FileLock {
 public:
  // Takes the lock of `path` (the file is made when missing, never through a symbolic
  // link), waiting while another process holds it. Throws plinthar::Error naming the path
  // when the lock file cannot be opened or locked.
  static FileLock wait_for(const std::filesystem::path& path);

  // The lock of `path` when no other process holds it now; nothing otherwise, and when
  // the lock file cannot be opened.
  static std::optional<FileLock> try_take(const std::filesystem::path& path);

  FileLock(FileLock&&) noexcept = default;
  FileLock& operator=(FileLock&&) noexcept = default;

 private:
  explicit FileLock(int fd) : fd_(std::make_unique<FileDescriptor>(fd)) {}

  std::unique_ptr<FileDescriptor> fd_;  // closing it lets the lock go
};

}  // namespace plinthar::text

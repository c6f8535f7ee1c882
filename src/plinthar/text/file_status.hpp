#pragma once

// The status fields of a file or directory that tell whether it changed: what the graph
// index records of the graph file it was made from and of every scanned path.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace plinthar::text {

struct FileStatus {
  std::uint64_t size = 0;
  std::uint64_t inode = 0;
  std::uint64_t device = 0;
  std::int64_t mtime_ns = 0;  // modification time, nanoseconds since the epoch
  std::int64_t ctime_ns = 0;  // status change time, likewise

  bool operator==(const FileStatus&) const = default;
};

// The status of the open file `fd`; nothing when it cannot be had.
std::optional<FileStatus> file_status(int fd);

// The status of `path`, following symbolic links; nothing when it cannot be had.
std::optional<FileStatus> file_status(const std::filesystem::path& path);
std::optional<FileStatus> file_status(const char* path);

}  // namespace plinthar::text

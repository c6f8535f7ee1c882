#pragma once

// A whole file's bytes held for reading, followed by zero bytes of padding that readers
// may touch (vectorised parsers read past the end of their input). The bytes are read
// into memory, not mapped: a mapped file that another program truncates while it is
// held kills the reader with SIGBUS, and a copy costs about as little (see read()).

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

namespace plinthar::platform {

class PaddedFile {
 public:
  // The bytes of the regular file at `path` (following links), read with one read of
  // the size the file states, followed by at least `padding` zero bytes. They stay as
  // read whatever happens to the file afterwards. Nothing when no file is there (or a
  // link leads nowhere). Throws plinthar::Error naming the path when it cannot be opened
  // or read, is not a regular file (a directory, a FIFO, a device: nothing is read from
  // it), or holds fewer or more bytes than it stated (it changed while being read).
  static std::optional<PaddedFile> read(const std::filesystem::path& path, std::size_t padding);
  // The same for the file open as `fd` (named `name` in errors), read from its start;
  // `fd` stays open.
  static PaddedFile read(int fd, std::size_t padding, const std::filesystem::path& name);

  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  // Bytes readable from data(): the size and the padding.
  std::size_t readable() const { return readable_; }

 private:
  PaddedFile(std::unique_ptr<char[]> bytes, std::size_t size, std::size_t readable)
      : bytes_(std::move(bytes)), size_(size), readable_(readable) {}

  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t readable_ = 0;
};

}  // namespace plinthar::platform

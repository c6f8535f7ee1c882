#pragma once

// A whole file's bytes held for reading, followed by zero bytes of padding that readers
// may touch (vectorised parsers read past the end of their input). A regular file is
// mapped read-only and its pages are read ahead at once; anything else, or a file the
// system will not map, is read into memory: the plain fallback.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

namespace plinthar::platform {

class PaddedFile {
 public:
  // The bytes of the file at `path` followed by at least `padding` zero bytes; nothing when
  // it cannot be opened or read, or is a directory. A mapped file must be replaced by
  // renaming a new one over it, never rewritten in place, while it is held. Throws
  // plinthar::Error for a file too large for the address space (on 32-bit systems).
  static std::optional<PaddedFile> read(const std::filesystem::path& path, std::size_t padding);
  // The same for the file open as `fd` (named `name` in errors), read from its start;
  // `fd` stays open.
  static std::optional<PaddedFile> read(int fd, std::size_t padding,
                                        const std::filesystem::path& name);

  PaddedFile(PaddedFile&& other) noexcept;
  PaddedFile& operator=(PaddedFile&& other) noexcept;
  PaddedFile(const PaddedFile&) = delete;
  PaddedFile& operator=(const PaddedFile&) = delete;
  ~PaddedFile();

  const char* data() const;
  std::size_t size() const { return size_; }
  // Bytes readable from data(): the size and the padding.
  std::size_t readable() const { return readable_; }

  // Gives back the memory of whole pages of a mapped file before `point` (a pointer
  // into the bytes) once enough has gathered; they read back from the file if touched
  // again. Does nothing for bytes read into memory, which would be lost.
  void release_before(const char* point) const;

 private:
  PaddedFile() = default;
  void unmap() noexcept;

  void* mapping_ = nullptr;  // the mapped file and the zero pages after it
  std::size_t mapping_size_ = 0;
  std::unique_ptr<char[]> copy_;  // the bytes read into memory, when not mapped
  std::size_t size_ = 0;
  std::size_t readable_ = 0;
  mutable std::size_t released_ = 0;  // bytes at the start of the mapping given back
};

}  // namespace plinthar::platform

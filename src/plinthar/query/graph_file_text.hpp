#pragma once

// The bytes of a graph file as the fast reader needs them: followed by readable padding.

#include <cstddef>
#include <filesystem>
#include <optional>

#include <simdjson.h>

namespace plinthar::query {

// A graph file's bytes followed by at least SIMDJSON_PADDING readable bytes. A regular
// file is mapped read-only rather than copied: the graph file is replaced by renaming a
// new one over it, never rewritten in place, so the mapped bytes stay put. Other files
// (pipes, say) are read into a padded copy.
class GraphFileText {
 public:
  // The text of the file at `path`; nothing when it cannot be opened or read, or is a
  // directory.
  static std::optional<GraphFileText> read(const std::filesystem::path& path);

  GraphFileText(GraphFileText&& other) noexcept;
  GraphFileText& operator=(GraphFileText&& other) noexcept;
  GraphFileText(const GraphFileText&) = delete;
  GraphFileText& operator=(const GraphFileText&) = delete;
  ~GraphFileText();

  // The bytes, with their padding.
  simdjson::padded_string_view view() const;

  // Gives back the memory of whole pages of a mapped file before `point` (a pointer
  // into view()) once enough has gathered; they read back from the file if touched
  // again. Does nothing for a copy, whose bytes would be lost.
  void release_before(const char* point) const;

 private:
  GraphFileText() = default;
  void unmap() noexcept;

  void* mapping_ = nullptr;  // the mapped file and the zero pages after it
  std::size_t mapping_size_ = 0;
  std::size_t size_ = 0;
  mutable std::size_t released_ = 0;  // bytes at the start of the mapping given back
  simdjson::padded_string copy_;      // when the file could not be mapped
};

}  // namespace plinthar::query

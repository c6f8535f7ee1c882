#pragma once

// The bytes of a graph file as the fast reader needs them: followed by readable padding.

#include <filesystem>
#include <optional>

#include <simdjson.h>

#include "plinthar/platform/mapped_file.hpp"

namespace plinthar::query {

class GraphFileText {
 public:
  // The text of the file at `path`; nothing when it cannot be opened or read, or is a
  // directory.
  static std::optional<GraphFileText> read(const std::filesystem::path& path);
  // The same for the file open as `fd` (named `name` in errors), which stays open.
  static std::optional<GraphFileText> read(int fd, const std::filesystem::path& name);

  // The bytes, with their padding.
  simdjson::padded_string_view view() const {
    return simdjson::padded_string_view(file_.data(), file_.size(), file_.readable());
  }

  // Gives back the memory of pages before `point` (a pointer into view()), as
  // PaddedFile::release_before does.
  void release_before(const char* point) const { file_.release_before(point); }

 private:
  explicit GraphFileText(platform::PaddedFile file) : file_(std::move(file)) {}

  platform::PaddedFile file_;
};

}  // namespace plinthar::query

#pragma once

// The bytes of a graph file as the fast reader needs them: followed by readable padding.

#include <filesystem>
#include <optional>

#include <simdjson.h>

#include "plinthar/platform/padded_file.hpp"

namespace plinthar::query {

class GraphFileText {
 public:
  // The text of the regular file at `path`, read into memory; nothing when no file is
  // there. Throws plinthar::Error when it cannot be read, is not a regular file or
  // changed while being read (PaddedFile::read).
  static std::optional<GraphFileText> read(const std::filesystem::path& path);
  // The same for the file open as `fd` (named `name` in errors), which stays open.
  static GraphFileText read(int fd, const std::filesystem::path& name);

  // The bytes, with their padding.
  simdjson::padded_string_view view() const {
    return simdjson::padded_string_view(file_.data(), file_.size(), file_.readable());
  }

 private:
  explicit GraphFileText(platform::PaddedFile file) : file_(std::move(file)) {}

  platform::PaddedFile file_;
};

}  // namespace plinthar::query

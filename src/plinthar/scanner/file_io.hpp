#pragma once

// Whole-file reads and atomic whole-file writes.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plinthar::scanner {

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> read_file(const std::filesystem::path& path);

// Replaces `path` with `content` atomically: writes a temporary file in the same
// directory and renames it over the target, so readers never see a partial file.
// Throws plinthar::Error naming the path when anything fails; the target is untouched.
void write_file_atomically(const std::filesystem::path& path, std::string_view content);

// Creates the directory that will hold `file`, with its parents.
// Throws plinthar::Error when that fails.
void create_parent_directories(const std::filesystem::path& file);

}  // namespace plinthar::scanner

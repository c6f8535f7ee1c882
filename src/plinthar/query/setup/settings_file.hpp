#pragma once

// A settings file as setup reads and replaces it: a JSON object (no file reads as an
// empty one), written back whole in the pretty form, atomically, after a copy of the
// file as it was is kept beside it.

#include <filesystem>
#include <optional>
#include <string>

#include "plinthar/text/json.hpp"

namespace plinthar::query::setup {

using text::Json;

struct SettingsFile {
  std::filesystem::path path;
  bool existed = false;
  Json document = Json::object();
};

// The settings at `path`. Throws plinthar::Error when the file cannot be read or does
// not hold one JSON object.
SettingsFile read_settings(const std::filesystem::path& path);

// What setup writes for `document`: the pretty form (two-space indentation) and a line
// break.
std::string settings_text(const Json& document);

// Where the copy of `path` is kept before it changes: "PATH.bak".
std::filesystem::path backup_path(const std::filesystem::path& path);

// Replaces the file with `document` (creating its folder), after copying the file as it
// was to its backup path when it existed. Throws plinthar::Error when either fails; the
// file is then as it was.
void write_settings(const SettingsFile& file, const Json& document);

// Removes the file after copying it to its backup path. Throws plinthar::Error when
// either fails.
void remove_settings(const SettingsFile& file);

}  // namespace plinthar::query::setup

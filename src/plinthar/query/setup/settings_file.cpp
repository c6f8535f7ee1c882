#include "plinthar/query/setup/settings_file.hpp"

#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query::setup {
namespace fs = std::filesystem;
namespace {

Json parsed_settings(const fs::path& path, const std::string& bytes) {
  Json document;
  try {
    document = text::parse_json(bytes);
  } catch (const Error& error) {
    throw Error("cannot parse " + path.string() + ": " + error.what());
  }
  if (!document.is_object()) throw Error(path.string() + " does not hold a JSON object");
  return document;
}

void keep_backup(const SettingsFile& file) {
  if (!file.existed) return;
  const auto bytes = text::read_file(file.path);
  if (!bytes) throw Error("cannot read " + file.path.string() + " to back it up");
  text::write_file_atomically(backup_path(file.path), *bytes);
}

}  // namespace

SettingsFile read_settings(const fs::path& path) {
  SettingsFile file;
  file.path = path;
  std::error_code error;
  if (!fs::exists(path, error)) {
    if (error) throw Error("cannot read " + path.string() + ": " + error.message());
    return file;
  }
  const auto bytes = text::read_file(path);
  if (!bytes) throw Error("cannot read " + path.string() + ": not a readable file");
  file.existed = true;
  file.document = parsed_settings(path, *bytes);
  return file;
}

std::string settings_text(const Json& document) { return text::to_pretty(document) + "\n"; }

fs::path backup_path(const fs::path& path) { return fs::path(path.string() + ".bak"); }

void write_settings(const SettingsFile& file, const Json& document) {
  keep_backup(file);
  text::create_parent_directories(file.path);
  text::write_file_atomically(file.path, settings_text(document));
}

void remove_settings(const SettingsFile& file) {
  keep_backup(file);
  std::error_code error;
  fs::remove(file.path, error);
  if (error) throw Error("cannot remove " + file.path.string() + ": " + error.message());
}

}  // namespace plinthar::query::setup

#include "plinthar/query/data/data_directory.hpp"

#include <system_error>

#include "plinthar/text/file_io.hpp"

// Where an installed tree keeps the marker, seen from the folder of the program; CMake
// derives it from the installation folders.
#ifndef PLINTHAR_INSTALLED_MARKER
#define PLINTHAR_INSTALLED_MARKER "../share/plinthar/per-project-data"
#endif

namespace plinthar::query {
namespace fs = std::filesystem;
namespace {

// `text` as a resolved path, relative ones taken from `cwd`; the empty text is `cwd`.
fs::path resolved_in(const fs::path& cwd, const std::string& text) {
  if (text.empty()) return text::resolve_path(cwd);
  const fs::path path(text);
  return text::resolve_path(path.is_absolute() ? path : cwd / path);
}

bool is_folder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

// The nearest folder from `start` upwards that holds the project data folder, or `start`.
fs::path project_holding_data(const fs::path& start) {
  for (fs::path dir = start;; dir = dir.parent_path()) {
    if (is_folder(dir / PROJECT_DATA_FOLDER)) return dir;
    if (dir == dir.parent_path()) return start;
  }
}

}  // namespace

DataDirChoice choose_data_dir(const fs::path& base_dir, bool installed, const EnvLookup& env,
                              const fs::path& cwd) {
  if (const auto named = env("CRV_DATA_DIR"); named && !named->empty()) {
    return {DataPlace::NAMED, resolved_in(cwd, *named), {}};
  }
  if (!installed) return {DataPlace::BESIDE_PROGRAM, base_dir / "data", {}};
  const auto root = env("CORVEL_PROJECT_ROOT");
  const fs::path project =
      root ? resolved_in(cwd, *root) : project_holding_data(text::resolve_path(cwd));
  return {DataPlace::PROJECT, project / PROJECT_DATA_FOLDER, project};
}

bool installed_system_wide(const fs::path& base_dir) {
  std::error_code error;
  return fs::is_regular_file(base_dir / PLINTHAR_INSTALLED_MARKER, error);
}

Locations locate(const fs::path& base_dir, const EnvLookup& env) {
  std::error_code error;
  fs::path cwd = fs::current_path(error);
  if (error) cwd = ".";  // a working directory that is gone resolves as well as it can
  return locate(base_dir, env, cwd);
}

Locations locate(const fs::path& base_dir, const EnvLookup& env, const fs::path& cwd) {
  const DataDirChoice choice = choose_data_dir(base_dir, installed_system_wide(base_dir), env, cwd);
  const fs::path fallback_root = choice.place == DataPlace::PROJECT ? choice.project_root : ".";
  Locations locations = compute_locations(base_dir, choice.data_dir, fallback_root, env, cwd);
  locations.graph_of_default_root = choice.place == DataPlace::PROJECT;
  return locations;
}

}  // namespace plinthar::query

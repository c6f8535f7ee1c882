#include "plinthar/query/data/data_directory.hpp"

#include <optional>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

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

// Whether anything is at `path`, links not followed: a data folder that is a link still
// marks its project, so that it is refused there rather than passed over.
bool entry_exists(const fs::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool marks_project(const fs::path& dir) {
  return entry_exists(dir / PROJECT_DATA_FOLDER) || entry_exists(dir / ".git") ||
         entry_exists(dir / ".hg");
}

fs::path home_folder(const EnvLookup& env) {
  if (const auto home = env("HOME"); home && !home->empty()) return text::resolve_path(*home);
  return {};
}

bool too_wide_for_a_project(const fs::path& dir, const fs::path& home) {
  return dir == dir.root_path() || dir == home;
}

// The nearest folder from `start` upwards that holds the project data folder or is a
// version-control root, short of `/` and the home folder (a stray `.corvel` or a dotfiles
// repository there is no project of the folders below).
std::optional<fs::path> nearest_project(const fs::path& start, const fs::path& home) {
  for (fs::path dir = start; !too_wide_for_a_project(dir, home); dir = dir.parent_path()) {
    if (marks_project(dir)) return dir;
  }
  return std::nullopt;
}

std::string refusal_of_project(const fs::path& project, const fs::path& home) {
  if (!too_wide_for_a_project(project, home)) return "";
  return "crv keeps no project data in " + project.string() +
         ": run it in a project (a folder holding .git, .hg or .corvel) or name one with "
         "CORVEL_PROJECT_ROOT";
}

std::string refusal_of_data_folder(const fs::path& data_dir) {
  struct stat status {};
  if (::lstat(data_dir.c_str(), &status) != 0) return "";  // made when first needed
  if (S_ISLNK(status.st_mode)) {
    return data_dir.string() +
           " is a symbolic link; crv keeps project data only in a folder "
           "of the project's own";
  }
  if (!S_ISDIR(status.st_mode)) return data_dir.string() + " is not a folder";
  const uid_t user = ::geteuid();
  if (user != 0 && status.st_uid != user) {
    return data_dir.string() + " belongs to another user; crv does not use it";
  }
  return "";
}

}  // namespace

DataDirChoice choose_data_dir(const fs::path& base_dir, bool installed, const EnvLookup& env,
                              const fs::path& cwd) {
  if (const auto named = env("CRV_DATA_DIR"); named && !named->empty()) {
    DataDirChoice named_choice;
    named_choice.place = DataPlace::NAMED;
    named_choice.data_dir = resolved_in(cwd, *named);
    return named_choice;
  }
  DataDirChoice choice;
  if (!installed) {
    choice.data_dir = base_dir / "data";
    return choice;
  }
  choice.place = DataPlace::PROJECT;
  if (const auto root = env("CORVEL_PROJECT_ROOT")) {
    choice.project_root = resolved_in(cwd, *root);
  } else {
    const fs::path here = text::resolve_path(cwd);
    const fs::path home = home_folder(env);
    const auto found = nearest_project(here, home);
    choice.project_root = found.value_or(here);
    choice.project_found = found.has_value();
    choice.refusal = refusal_of_project(choice.project_root, home);
  }
  choice.data_dir = choice.project_root / PROJECT_DATA_FOLDER;
  if (choice.refusal.empty()) choice.refusal = refusal_of_data_folder(choice.data_dir);
  return choice;
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
  locations.project_found = choice.project_found;
  if (choice.place == DataPlace::PROJECT) locations.data_links = text::Links::not_followed;
  // The project's own capability index is read from its data folder, never from where a
  // link there leads.
  if (choice.place == DataPlace::PROJECT && !env("CRV_CAPABILITY_INDEX")) {
    locations.capability_index = choice.data_dir / "functionality_index.md";
  }
  locations.data_dir_refusal = choice.refusal;
  return locations;
}

}  // namespace plinthar::query

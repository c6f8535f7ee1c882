#pragma once

// Which data directory crv uses. A crv copied into a folder keeps its files in data/
// beside itself, as it always has. An installed crv (cmake --install, the Debian package)
// serves many projects instead, each keeping its files in the `.corvel/` folder at its
// root, so that nothing is written beside the program and no root is needed at run time.
// CRV_DATA_DIR names the data directory outright, for either.

#include <filesystem>
#include <string>
#include <string_view>

#include "plinthar/query/data/locations.hpp"

namespace plinthar::query {

inline constexpr std::string_view PROJECT_DATA_FOLDER = ".corvel";

enum class DataPlace {
  BESIDE_PROGRAM,  // base_dir / "data"
  NAMED,           // CRV_DATA_DIR
  PROJECT,         // <project root> / ".corvel"
};

struct DataDirChoice {
  DataPlace place = DataPlace::BESIDE_PROGRAM;
  std::filesystem::path data_dir;
  std::filesystem::path project_root;  // PROJECT only: whose data it is
  // PROJECT only: whether the project was named or found rather than taken to be `cwd`.
  bool project_found = true;
  // Why the data directory must not be used, or empty (see choose_data_dir).
  std::string refusal;
};

// The rule, in order: CRV_DATA_DIR when set and not empty (resolved against `cwd`);
// else, for an installed program, the project's `.corvel/` folder, the project being
// CORVEL_PROJECT_ROOT when set, else the nearest folder from `cwd` upwards that holds a
// `.corvel` folder or is a version-control root (`.git`, `.hg`), else `cwd` itself; else
// data/ beside the program.
//
// The project's data folder is the repository's to ship, so it is refused when it is a
// symbolic link (crv would write wherever it leads), not a folder, or owned by another
// user (not checked for root, who owns what it creates anyway); and a project found or
// taken from `cwd` is refused when it is `/` or the home folder, whose data folder would
// make every folder below it without a project of its own part of one huge project.
DataDirChoice choose_data_dir(const std::filesystem::path& base_dir, bool installed,
                              const EnvLookup& env, const std::filesystem::path& cwd);

// Whether the program in `base_dir` runs from an installed tree: the installation puts a
// marker file at a fixed place relative to the program (share/plinthar beside bin/),
// which a copied program does not find.
bool installed_system_wide(const std::filesystem::path& base_dir);

// The locations of a program in `base_dir` started in the current working directory,
// with the data directory the rule chooses. In the project of choose_data_dir the
// default root is that project, unless CORVEL_PROJECT_ROOT says otherwise.
Locations locate(const std::filesystem::path& base_dir, const EnvLookup& env);

// The same for a program started in the folder `cwd` (absolute).
Locations locate(const std::filesystem::path& base_dir, const EnvLookup& env,
                 const std::filesystem::path& cwd);

}  // namespace plinthar::query

#pragma once

// Where `crv` keeps its files. The locations are computed once when the program starts
// and stay fixed for the run; every command receives them instead of recomputing.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "plinthar/text/file_io.hpp"

namespace plinthar::query {

struct Locations {
  std::filesystem::path base_dir;          // folder holding the running program
  std::filesystem::path data_dir;          // base_dir / "data"
  std::filesystem::path graph_json;        // the graph file
  std::filesystem::path action_log;        // "action_events.jsonl"
  std::filesystem::path token_log;         // "token_usage.jsonl"
  std::filesystem::path capability_index;  // resolved; may not exist
  std::filesystem::path default_root;      // resolved; may not exist
  // Whether the graph must be of default_root: the project of an installed crv, whose
  // graph a repository may ship. A graph that records another root is scanned anew from
  // the project, never followed.
  bool graph_of_default_root = false;
  // Whether default_root is a project that was named or found (see data_directory.hpp).
  bool project_found = true;
  // Why the data directory must not be used, or empty; nothing may be read from it or
  // written to it then.
  std::string data_dir_refusal;
  // Whether links at the data files' own names are followed: not in a project's data
  // folder, which the repository may ship (see text::Links).
  text::Links data_links = text::Links::followed;
};

// Looks up an environment variable: nothing when it is absent, the (possibly empty)
// value when it is present.
using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;

// The process environment as an EnvLookup.
std::optional<std::string> process_env(std::string_view name);

// Computes the locations for a program living in `base_dir`. CRV_CAPABILITY_INDEX and
// CORVEL_PROJECT_ROOT override the index and the default root when present, even when
// empty (the empty text stands for the working directory); both are resolved against
// the working directory with symbolic links followed. Nothing is created on disk.
Locations compute_locations(const std::filesystem::path& base_dir, const EnvLookup& env);

// The same with the files in `data_dir` instead of beside the program, and
// `fallback_root` as the default root when CORVEL_PROJECT_ROOT is absent (see
// data_directory.hpp for when that applies), relative paths taken from `cwd` rather
// than the working directory.
Locations compute_locations(const std::filesystem::path& base_dir,
                            const std::filesystem::path& data_dir,
                            const std::filesystem::path& fallback_root, const EnvLookup& env,
                            const std::filesystem::path& cwd = ".");

// The folder holding the running executable, symbolic links resolved. Throws
// plinthar::Error when the running program cannot be located.
std::filesystem::path running_program_dir();

// Throws plinthar::Error with the refusal when `locations` has one.
void require_usable_data_dir(const Locations& locations);

// Creates the data directory with its parents; an existing one is fine. Throws
// plinthar::Error when it cannot be created or must not be used.
void ensure_data_dir(const Locations& locations);

}  // namespace plinthar::query

#include "plinthar/query/data/locations.hpp"

#include <cstdlib>
#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;
namespace {

// An environment value turned into a resolved path, relative ones taken from `cwd`; the
// empty text means `cwd`, as it does for a shell.
fs::path resolved_from_text(const std::string& text, const fs::path& cwd) {
  const fs::path path(text);
  if (text.empty()) return text::resolve_path(cwd);
  return text::resolve_path(path.is_absolute() ? path : cwd / path);
}

}  // namespace

std::optional<std::string> process_env(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

Locations compute_locations(const fs::path& base_dir, const EnvLookup& env) {
  return compute_locations(base_dir, base_dir / "data", ".", env);
}

Locations compute_locations(const fs::path& base_dir, const fs::path& data_dir,
                            const fs::path& fallback_root, const EnvLookup& env,
                            const fs::path& cwd) {
  Locations locations;
  locations.base_dir = base_dir;
  locations.data_dir = data_dir;
  locations.graph_json = locations.data_dir / "info_graph.json";
  locations.action_log = locations.data_dir / "action_events.jsonl";
  locations.token_log = locations.data_dir / "token_usage.jsonl";
  const auto index = env("CRV_CAPABILITY_INDEX");
  locations.capability_index = resolved_from_text(
      index ? *index : (locations.data_dir / "functionality_index.md").string(), cwd);
  const auto root = env("CORVEL_PROJECT_ROOT");
  locations.default_root = resolved_from_text(root ? *root : fallback_root.string(), cwd);
  return locations;
}

fs::path running_program_dir() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) throw Error("cannot locate the running program: " + error.message());
  return text::resolve_path(program.parent_path());
}

void require_usable_data_dir(const Locations& locations) {
  if (!locations.data_dir_refusal.empty()) throw Error(locations.data_dir_refusal);
}

void ensure_data_dir(const Locations& locations) {
  require_usable_data_dir(locations);
  std::error_code error;
  fs::create_directories(locations.data_dir, error);
  if (error) {
    throw Error("cannot create directory " + locations.data_dir.string() + ": " + error.message());
  }
}

}  // namespace plinthar::query

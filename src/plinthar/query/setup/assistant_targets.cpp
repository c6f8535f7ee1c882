#include "plinthar/query/setup/assistant_targets.hpp"

#include "plinthar/error.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::query::setup {
namespace fs = std::filesystem;
namespace {

fs::path home_folder(const EnvLookup& env) {
  const auto home = env("HOME");
  if (!home || home->empty()) throw Error("--user needs HOME to name the user's folder");
  return fs::path(*home);
}

std::vector<SettingsTarget> claude_targets(const SetupOptions& options,
                                           const fs::path& project_root, const EnvLookup& env) {
  if (options.user) {
    const fs::path home = home_folder(env);
    return {{home / ".claude" / "settings.json", true, false},
            {home / ".claude.json", false, true}};
  }
  return {{project_root / ".claude" / "settings.json", true, false},
          {project_root / ".mcp.json", false, true}};
}

}  // namespace

std::optional<std::string> option_problem(const SetupOptions& options) {
  if (options.assistant == "claude" && !options.settings.empty()) {
    return "--settings is for setup mcp: claude's files are known";
  }
  if (options.assistant == "mcp" && options.user) {
    return "--user does not apply to setup mcp: name the client's file with --settings";
  }
  if (options.assistant == "mcp" && options.settings.empty()) {
    return "setup mcp needs --settings FILE, the client's settings file";
  }
  return std::nullopt;
}

std::vector<SettingsTarget> settings_targets(const SetupOptions& options,
                                             const fs::path& project_root, const EnvLookup& env) {
  if (options.assistant == "claude") return claude_targets(options, project_root, env);
  if (options.assistant == "mcp") return {{text::resolve_path(options.settings), false, true}};
  throw Error("unknown assistant: " + options.assistant);
}

}  // namespace plinthar::query::setup

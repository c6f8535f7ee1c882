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

std::vector<SettingsTarget> claude_targets(const Args& args, const fs::path& project_root,
                                           const EnvLookup& env) {
  if (!args.settings.empty()) throw Error("--settings is for setup mcp; claude's files are known");
  if (args.user) {
    const fs::path home = home_folder(env);
    return {{home / ".claude" / "settings.json", true, false},
            {home / ".claude.json", false, true}};
  }
  return {{project_root / ".claude" / "settings.json", true, false},
          {project_root / ".mcp.json", false, true}};
}

std::vector<SettingsTarget> mcp_targets(const Args& args) {
  if (args.user)
    throw Error("--user does not apply to setup mcp: name the client's file with --settings");
  if (args.settings.empty())
    throw Error("setup mcp needs --settings FILE, the client's settings file");
  return {{text::resolve_path(args.settings), false, true}};
}

}  // namespace

std::vector<SettingsTarget> settings_targets(const Args& args, const fs::path& project_root,
                                             const EnvLookup& env) {
  if (args.action_cmd == "claude") return claude_targets(args, project_root, env);
  if (args.action_cmd == "mcp") return mcp_targets(args);
  throw Error("unknown assistant: " + args.action_cmd);
}

}  // namespace plinthar::query::setup

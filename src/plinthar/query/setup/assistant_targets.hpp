#pragma once

// Which settings files setup edits for an assistant, and what goes into each.
//
//   claude               hooks: <project>/.claude/settings.json  server: <project>/.mcp.json
//   claude --user        hooks: ~/.claude/settings.json          server: ~/.claude.json
//   mcp --settings FILE  server: FILE (the common "mcpServers" form of MCP clients)

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/setup/setup_options.hpp"

namespace plinthar::query::setup {

struct SettingsTarget {
  std::filesystem::path file;
  bool hooks = false;       // crv's hook entries
  bool mcp_server = false;  // crv's entry in "mcpServers"
};

// What is wrong with `options` for the assistant they name; nothing when they fit.
std::optional<std::string> option_problem(const SetupOptions& options);

// The files for the assistant `options` name, which fit it, with `project_root`
// the project's root and HOME taken from `env`. Throws plinthar::Error for --user
// without HOME.
std::vector<SettingsTarget> settings_targets(const SetupOptions& options,
                                             const std::filesystem::path& project_root,
                                             const EnvLookup& env);

}  // namespace plinthar::query::setup

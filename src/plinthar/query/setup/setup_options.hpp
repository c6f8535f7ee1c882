#pragma once

// What `crv setup` is asked to do.

#include <string>

namespace plinthar::query::setup {

struct SetupOptions {
  std::string assistant;  // "claude" or "mcp", the subcommand given
  bool user = false;      // the user's settings instead of the project's
  bool remove = false;    // take out what setup added
  bool dry_run = false;   // print the changes, write nothing
  std::string settings;   // the client's settings file (setup mcp)
};

}  // namespace plinthar::query::setup

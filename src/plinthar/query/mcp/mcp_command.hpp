#pragma once

// `crv mcp`: the project's graph served to an assistant over the Model Context Protocol,
// JSON-RPC messages on standard input and output, until standard input ends.

#include <cstdint>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"

namespace plinthar::query::mcp {

struct McpOptions {
  bool refresh = true;                   // bring the graph up to date before calls
  std::int64_t refresh_interval = 2000;  // least milliseconds between two looks at the tree
};

// Serves the project of `locations` on the input and output streams; diagnostics go to
// the error stream. Returns 0 when the input ends.
int cmd_mcp(const McpOptions& options, const Locations& locations, const Streams& streams);

}  // namespace plinthar::query::mcp

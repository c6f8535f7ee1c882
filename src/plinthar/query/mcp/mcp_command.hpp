#pragma once

// `crv mcp`: the project's graph served to an assistant over the Model Context Protocol,
// JSON-RPC messages on standard input and output, until standard input ends.

#include <iosfwd>

#include "plinthar/query/cli/command_line.hpp"

namespace plinthar::query::mcp {

// Serves the project of `locations` on standard input and `out`; diagnostics go to `err`.
// Returns 0 when standard input ends.
int cmd_mcp(const Args& args, const Locations& locations, std::ostream& out, std::ostream& err);

}  // namespace plinthar::query::mcp

#pragma once

// The stdio transport: newline-delimited JSON-RPC messages in, one reply per line out.

#include <iosfwd>

#include "plinthar/query/mcp/rpc_dispatch.hpp"

namespace plinthar::query::mcp {

// Answers the lines of `in` until it ends, each reply on a line of its own on `out`,
// flushed at once; blank lines are skipped and a carriage return before the line break
// is dropped. Returns 0 when `in` ends, and also when `out` fails: the client is gone.
int serve_lines(std::istream& in, std::ostream& out, std::ostream& log, RpcMethods& methods);

}  // namespace plinthar::query::mcp

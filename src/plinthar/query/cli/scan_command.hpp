#pragma once

// `crv scan`: a full rescan of a project root written to the graph file.

#include <iosfwd>

#include "plinthar/query/cli/command_line.hpp"

namespace plinthar::query {

// Scans `args.root` (resolved; "" is the working directory), writes the graph to
// `args.out` (resolved; "" is the default graph file), creates the data directory in
// any case and prints the two report lines. Throws plinthar::Error when the graph
// cannot be written; nothing is printed then.
int cmd_scan(const Args& args, const Locations& locations, std::ostream& out, std::ostream& err);

}  // namespace plinthar::query

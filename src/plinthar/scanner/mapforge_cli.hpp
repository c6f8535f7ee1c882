#pragma once

// The command line of `mapforge`: scan a project, write the graph and symbol index.

#include <iosfwd>

namespace plinthar::scanner {

// Runs the scanner's command line and returns the exit status: 0 on success, 2 for a
// command line it rejects, 1 when an output cannot be written.
int mapforge_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace plinthar::scanner

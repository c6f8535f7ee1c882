#pragma once

// The command line of `mapforge`: scan a project, write the graph and symbol index.

#include <functional>
#include <iosfwd>

namespace CLI {
class App;
}  // namespace CLI

namespace plinthar::scanner {

// Runs the scanner's command line and returns the exit status: 0 on success, 2 for a
// command line it rejects, 1 when an output cannot be written.
int mapforge_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// Builds the command line as mapforge_main does and hands it to `visit`: the one source
// of mapforge's generated manual page and shell completions.
void visit_mapforge_grammar(const std::function<void(const CLI::App&)>& visit);

}  // namespace plinthar::scanner

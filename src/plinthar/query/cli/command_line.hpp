#pragma once

// The command line of `crv`: the grammar of its five subcommands and `action log`, and
// parsing it into one arguments record bound to the chosen handler.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "plinthar/query/cli/locations.hpp"

namespace CLI {
class App;
}  // namespace CLI

namespace plinthar::query {

struct Args;

// A subcommand's handler: runs on the parsed arguments and returns the exit status.
using Handler = int (*)(const Args& args, const Locations& locations, std::ostream& out,
                        std::ostream& err);

// The parsed command line. Members are named after the options; a handler reads only
// those of its own subcommand.
struct Args {
  std::string cmd;         // the chosen subcommand
  std::string action_cmd;  // the chosen sub-subcommand of `action` (or of `hook`)
  Handler func = nullptr;

  std::string root;  // scan
  std::string out;   // scan
  std::string query;
  std::int64_t top_files = 0;
  std::int64_t top_edges = 0;
  std::int64_t recent_actions = 0;
  bool json = false;
  bool refresh = false;  // retrieve, prime: bring the graph up to date with the tree first
  std::string rank;      // retrieve, prime: "classic" or "hybrid"
  std::string kind;      // action log
  std::string summary;
  std::string meta;

  // hook prompt, hook tool
  std::int64_t max_chars = 0;
  std::int64_t timeout = 0;  // seconds; 0 or less: no limit
  bool strict = false;

  // mcp (also `refresh`)
  std::int64_t refresh_interval = 0;  // milliseconds between two looks at the tree

  // setup claude, setup mcp
  bool user = false;
  bool remove = false;
  bool dry_run = false;
  std::string settings;
};

// What parsing produced: the arguments to run, or the status to exit with after help
// (0, help printed on `out`) or a rejected command line (2, usage and error on `err`).
struct ParseOutcome {
  std::optional<Args> args;
  int status = 0;
};

// Parses `argv` against the grammar. The defaults of `scan --root` and `scan --out` are
// `locations.default_root` and `locations.graph_json`.
ParseOutcome parse_command_line(int argc, const char* const* argv, const Locations& locations,
                                std::ostream& out, std::ostream& err);

// Builds the whole grammar as parsing does and hands it to `visit`: the one source of
// crv's generated manual page and shell completions.
void visit_grammar(const Locations& locations, const std::function<void(const CLI::App&)>& visit);

}  // namespace plinthar::query

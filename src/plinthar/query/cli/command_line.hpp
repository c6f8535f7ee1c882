#pragma once

// The command line of `crv`: the grammar of its subcommands, and parsing it into one
// arguments record bound to the chosen handler.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "plinthar/query/commands/action_log_command.hpp"
#include "plinthar/query/commands/prime_command.hpp"
#include "plinthar/query/commands/retrieve_command.hpp"
#include "plinthar/query/commands/scan_command.hpp"
#include "plinthar/query/commands/stats_command.hpp"
#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/hooks/hook_prompt_command.hpp"
#include "plinthar/query/hooks/hook_tool_command.hpp"
#include "plinthar/query/mcp/mcp_command.hpp"
#include "plinthar/query/setup/setup_options.hpp"

namespace CLI {
class App;
}  // namespace CLI

namespace plinthar::query {

struct Args;

// A subcommand's handler: runs on the parsed arguments and returns the exit status.
using Handler = int (*)(const Args& args, const Locations& locations, const Streams& streams);

// The parsed command line: the chosen subcommand, its handler and its options record;
// the records of the other subcommands keep their defaults.
struct Args {
  std::string cmd;         // the chosen subcommand
  std::string action_cmd;  // the chosen sub-subcommand of `action` (or of `hook`)
  Handler func = nullptr;

  ScanOptions scan;
  RetrieveOptions retrieve;
  PrimeOptions prime;
  ActionLogOptions action_log;
  StatsOptions stats;
  HookPromptOptions hook_prompt;
  HookToolOptions hook_tool;
  mcp::McpOptions mcp;
  setup::SetupOptions setup;
};

// What parsing produced: the arguments to run, or the status to exit with after help
// (0, help printed on `out`) or a rejected command line (2, usage and error on `err`;
// for `hook` commands without --strict, 0 and one line on `err`).
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

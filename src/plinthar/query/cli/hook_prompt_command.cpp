#include "plinthar/query/cli/hook_prompt_command.hpp"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/query/cli/context_budget.hpp"
#include "plinthar/query/cli/hook_event.hpp"
#include "plinthar/query/cli/hook_guard.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;
namespace {

// A first use scans the default root; without one there is nothing to rank, and an
// empty graph written for a mistyped root would hide the mistake from every later prompt.
void require_graph_or_root(const Locations& locations) {
  std::error_code error;
  if (fs::exists(locations.graph_json, error) || fs::is_directory(locations.default_root, error)) {
    return;
  }
  throw Error("no graph at " + locations.graph_json.string() + " and no project folder at " +
              locations.default_root.string());
}

}  // namespace

PrimeOptions hook_prime_options(const Args& args, std::string prompt) {
  PrimeOptions options;
  options.query = std::move(prompt);
  options.top_files = args.top_files;
  options.top_edges = args.top_edges;
  options.recent_actions = args.recent_actions;
  options.refresh = args.refresh;
  options.rank = args.rank;
  return options;
}

int cmd_hook_prompt(const Args& args, const Locations& locations, std::ostream& out,
                    std::ostream& err) {
  return run_hook(args, out, err, [&](std::ostream& block) {
    PromptEvent event = parse_prompt_event(read_all(std::cin));
    if (text::trim(event.prompt).empty()) return;
    const Locations here = event_locations(locations, event.cwd);
    require_graph_or_root(here);
    block << fit_prime_block(gather_prime(hook_prime_options(args, std::move(event.prompt)), here),
                             args.max_chars);
  });
}

}  // namespace plinthar::query

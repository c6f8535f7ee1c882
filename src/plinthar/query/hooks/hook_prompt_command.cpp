#include "plinthar/query/hooks/hook_prompt_command.hpp"

#include <filesystem>
#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/query/hooks/context_budget.hpp"
#include "plinthar/query/hooks/hook_event.hpp"
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

PrimeOptions hook_prime_defaults() {
  PrimeOptions options;
  options.ranking.refresh = true;
  options.ranking.rank = Ranking::hybrid;
  return options;
}

int cmd_hook_prompt(const HookPromptOptions& options, const Locations& locations,
                    const Streams& streams) {
  return run_hook("prompt", options.guard, streams, [&](std::ostream& block) {
    PromptEvent event = parse_prompt_event(read_all(streams.in));
    if (text::trim(event.prompt).empty()) return;
    const Locations here = event_locations(locations, event.cwd);
    require_graph_or_root(here);
    PrimeOptions prime = options.prime;
    prime.ranking.query = std::move(event.prompt);
    block << fit_prime_block(gather_prime(prime, here), options.max_chars);
  });
}

}  // namespace plinthar::query

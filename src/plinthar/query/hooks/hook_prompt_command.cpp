#include "plinthar/query/hooks/hook_prompt_command.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/query/commands/graph_source.hpp"
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

// Rates the hook's work is reckoned at when it decides what fits in its time: files read
// again, megabytes of graph rewritten and nodes whose statistics are built, per second
// (measured on the Python standard library's graph on two cores, with room to spare).
constexpr std::size_t FILES_PER_SECOND = 1000;
constexpr std::uint64_t GRAPH_BYTES_PER_SECOND = 30 << 20;
constexpr std::size_t NODES_PER_SECOND = 20000;
// How long a prompt waits for the background work when the graph as it stood can answer.
constexpr int WAIT_WHEN_ANSWERABLE_MS = 1000;

// Half the time limit for the work; the rest for reading and ranking the graph. Without
// a limit, nothing is left to the background.
std::optional<Deferral> deferral_within(const HookGuard& guard) {
  const double seconds = time_limit_seconds(guard) / 2;
  if (seconds <= 0) return std::nullopt;
  Deferral deferral;
  deferral.wait =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds));
  deferral.wait_when_answerable = std::min<std::chrono::milliseconds>(
      deferral.wait, std::chrono::milliseconds(WAIT_WHEN_ANSWERABLE_MS));
  deferral.limits.most_files_read = static_cast<std::size_t>(seconds * FILES_PER_SECOND);
  deferral.limits.most_graph_bytes =
      static_cast<std::uint64_t>(seconds * static_cast<double>(GRAPH_BYTES_PER_SECOND));
  deferral.most_nodes_for_stats = static_cast<std::size_t>(seconds * NODES_PER_SECOND);
  // A changed graph is ranked in memory; its file is rewritten after the answer.
  deferral.limits.keep_graph_file = true;
  return deferral;
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
    const auto deferral = deferral_within(options.guard);
    block << fit_prime_block(gather_prime(prime, here, deferral ? &*deferral : nullptr),
                             options.max_chars);
  });
}

}  // namespace plinthar::query

#include "plinthar/query/commands/prime_block.hpp"

#include "plinthar/query/commands/value_text.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/escapes.hpp"

namespace plinthar::query {

namespace {

constexpr std::string_view RULES =
    "# Corvel Active\n"
    "\n"
    "## Rules\n"
    "- Prefer focused context over full transcript dumps.\n"
    "- Use graph-backed files/edges for impact analysis.\n"
    "- Preserve existing behavior unless request says otherwise.\n"
    "\n";

std::string action_line(const text::Json& record) {
  return "- [" + text::one_line(printed_member(record, "kind", "unknown")) + "] " +
         text::one_line(printed_member(record, "summary", "")) + "\n";
}

}  // namespace

RankingRequest prime_ranking_defaults() {
  RankingRequest ranking;
  ranking.top_files = 12;
  ranking.top_edges = 20;
  return ranking;
}

std::string prime_query(std::string_view option, const std::optional<std::string>& env_query) {
  if (!option.empty()) return std::string(option);
  if (env_query) return *env_query;
  return std::string(DEFAULT_PRIME_QUERY);
}

std::string format_prime(std::string_view query, const RetrieveResult& result,
                         const std::vector<text::Json>& actions, std::size_t actions_left_out) {
  std::string text(RULES);
  text += "## Current Focus\n- Query: " + text::one_line(query) + "\n\n";
  text += "## Relevant Files (Top " + std::to_string(result.files.size()) + ")\n";
  for (const text::Json& entry : result.files) {
    text += "- " + text::one_line(printed_member(entry, "id", "None")) + "\n";
  }
  text += "\n## Relevant Relations (Top " + std::to_string(result.edges.size()) + ")\n";
  for (const text::Json& edge : result.edges) text += "- " + relation_line(edge) + "\n";
  text += "\n## Action Trail (Recent " + std::to_string(actions.size()) + ")\n";
  if (actions.empty()) {
    text += actions_left_out == 0
                ? std::string("- (no actions recorded yet)\n")
                : "- (" + std::to_string(actions_left_out) + " left out to fit the budget)\n";
  }
  for (const text::Json& record : actions) text += action_line(record);
  return text;
}

PrimeContent gather_prime(const PrimeOptions& options, const Locations& locations,
                          const Deferral* deferral) {
  PrimeContent content;
  content.query = options.ranking.query;
  content.result = ranked_retrieval(options.ranking, locations, deferral);
  content.actions = read_action_events(locations, options.recent_actions);
  return content;
}

}  // namespace plinthar::query

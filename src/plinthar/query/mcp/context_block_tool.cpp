#include "plinthar/query/mcp/context_block_tool.hpp"

#include "plinthar/query/commands/prime_block.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/query/hooks/context_budget.hpp"
#include "plinthar/query/rank/hybrid/hybrid.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query::mcp {
namespace {

// What gather_prime collects for the hook's options (the hybrid ranking and the
// default sizes), taken from the graph in memory instead of loading it again.
PrimeContent prime_content(LoadedProject& project, const Locations& locations,
                           const std::string& task) {
  const PrimeOptions sizes;
  PrimeContent content;
  content.query = task;
  content.result =
      retrieve_hybrid(project.records(), project.stats(), task, sizes.ranking.top_files,
                      sizes.ranking.top_edges, locations.capability_index);
  content.actions = read_action_events(locations, sizes.recent_actions);
  return content;
}

}  // namespace

ToolResult context_block_tool(ProjectSession& session, const ToolArguments& arguments) {
  const std::string task = arguments.text("task");
  LoadedProject& project = session.project();
  std::string block = fit_prime_block(prime_content(project, session.locations(), task),
                                      arguments.integer("max_chars"));
  Json structured = Json::object();
  structured["task"] = task;
  structured["block"] = block;
  structured["characters"] = text::cp_length(block);
  return {std::move(block), std::move(structured), false};
}

}  // namespace plinthar::query::mcp

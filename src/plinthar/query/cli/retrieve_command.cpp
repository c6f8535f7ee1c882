#include "plinthar/query/cli/retrieve_command.hpp"

#include <ostream>

#include "plinthar/error.hpp"
#include "plinthar/query/cli/value_text.hpp"
#include "plinthar/query/graph/graph_loading.hpp"
#include "plinthar/query/graph/term_stats_loading.hpp"
#include "plinthar/query/rank/hybrid.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

std::string relation_line(const text::Json& edge) {
  return text::one_line(printed_member(edge, "from", "None")) + " --" +
         text::one_line(printed_member(edge, "rel", "None")) + "--> " +
         text::one_line(printed_member(edge, "to", "None"));
}

std::string format_retrieve_text(std::string_view query, const RetrieveResult& result) {
  std::string text = "Query: " + text::one_line(query) + "\n\nRelevant files:\n";
  for (const text::Json& entry : result.files) {
    text += "- " + text::one_line(printed_member(entry, "id", "None")) + "\n";
  }
  text += "\nRelevant relations:\n";
  for (const text::Json& edge : result.edges) text += "- " + relation_line(edge) + "\n";
  return text;
}

std::string format_retrieve_json(std::string_view query, RetrieveResult&& result) {
  text::Json payload = text::Json::object();
  payload["query"] = std::string(query);
  payload["files"] = text::Json::array();
  payload["edges"] = text::Json::array();
  for (text::Json& entry : result.files) payload["files"].push_back(std::move(entry));
  for (text::Json& edge : result.edges) payload["edges"].push_back(std::move(edge));
  std::string text = text::to_pretty(payload);
  text.push_back('\n');
  return text;
}

RetrieveResult ranked_retrieval(const RankingRequest& request, const Locations& locations) {
  const LoadedGraph graph =
      load_graph(locations.graph_json, locations.default_root, request.refresh);
  if (request.rank == "hybrid") {
    const GraphTermStats stats = load_term_stats(graph, locations.graph_json);
    return retrieve_hybrid(graph.records(), stats.stats(), request.query, request.top_files,
                           request.top_edges, locations.capability_index);
  }
  if (request.rank != "classic") throw Error("unknown ranking: " + request.rank);
  return retrieve(graph.records(), request.query, request.top_files, request.top_edges,
                  locations.capability_index);
}

int cmd_retrieve(const Args& args, const Locations& locations, std::ostream& out, std::ostream&) {
  RetrieveResult result = ranked_retrieval(
      {args.query, args.top_files, args.top_edges, args.refresh, args.rank}, locations);
  out << (args.json ? format_retrieve_json(args.query, std::move(result))
                    : format_retrieve_text(args.query, result));
  return STATUS_OK;
}

}  // namespace plinthar::query

#include "plinthar/query/retrieve_command.hpp"

#include <ostream>

#include "plinthar/query/graph_loading.hpp"
#include "plinthar/query/value_text.hpp"
#include "plinthar/scanner/error.hpp"

namespace plinthar::query {

std::string relation_line(const Json& edge) {
  return one_line(printed_member(edge, "from", "None")) + " --" +
         one_line(printed_member(edge, "rel", "None")) + "--> " +
         one_line(printed_member(edge, "to", "None"));
}

std::string format_retrieve_text(std::string_view query, const RetrieveResult& result) {
  std::string text = "Query: " + one_line(query) + "\n\nRelevant files:\n";
  for (const Json& entry : result.files) {
    text += "- " + one_line(printed_member(entry, "id", "None")) + "\n";
  }
  text += "\nRelevant relations:\n";
  for (const Json& edge : result.edges) text += "- " + relation_line(edge) + "\n";
  return text;
}

std::string format_retrieve_json(std::string_view query, RetrieveResult&& result) {
  Json payload = Json::object();
  payload["query"] = std::string(query);
  payload["files"] = Json::array();
  payload["edges"] = Json::array();
  for (Json& entry : result.files) payload["files"].push_back(std::move(entry));
  for (Json& edge : result.edges) payload["edges"].push_back(std::move(edge));
  std::string text = scanner::to_pretty(payload);
  text.push_back('\n');
  return text;
}

int cmd_retrieve(const Args& args, const Locations& locations, std::ostream& out, std::ostream&) {
  // Only the JSON form can print whole nodes (the first nodes as stored, when nothing
  // scores), so only it needs the file texts.
  const LoadedGraph graph = load_graph_for_ranking(
      locations, args.json ? GraphMembers::all : GraphMembers::without_content);
  RetrieveResult result =
      graph.retrieve(args.query, args.top_files, args.top_edges, locations.capability_index);
  out << (args.json ? format_retrieve_json(args.query, std::move(result))
                    : format_retrieve_text(args.query, result));
  return STATUS_OK;
}

}  // namespace plinthar::query

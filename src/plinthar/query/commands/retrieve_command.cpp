#include "plinthar/query/commands/retrieve_command.hpp"

#include <ostream>

#include "plinthar/error.hpp"
#include "plinthar/query/commands/value_text.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

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

int cmd_retrieve(const RetrieveOptions& options, const Locations& locations,
                 const Streams& streams) {
  RetrieveResult result = ranked_retrieval(options.ranking, locations);
  const std::string_view query = options.ranking.query;
  streams.out << (options.json ? format_retrieve_json(query, std::move(result))
                               : format_retrieve_text(query, result));
  return STATUS_OK;
}

}  // namespace plinthar::query

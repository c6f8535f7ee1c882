#pragma once

// `crv retrieve`: the files and relations chosen for a query, as text or JSON.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// What to rank for, and how: `refresh` brings the graph up to date with the project
// first; `rank` names the ranking, "classic" or "hybrid".
struct RankingRequest {
  std::string query;
  std::int64_t top_files = 20;
  std::int64_t top_edges = 40;
  bool refresh = false;
  std::string rank = "classic";
};

// Loads the graph (refreshed when asked) and ranks it as `request` says.
RetrieveResult ranked_retrieval(const RankingRequest& request, const Locations& locations);

// Loads the graph, runs retrieval and prints the result; everything is printed after
// retrieval returns, so a failure leaves standard output empty.
int cmd_retrieve(const Args& args, const Locations& locations, std::ostream& out,
                 std::ostream& err);

// The text form: the query, the file ids and the relations, one per line, each value
// kept on its line; a missing member prints as None.
std::string format_retrieve_text(std::string_view query, const RetrieveResult& result);

// The JSON form: {"query", "files", "edges"} in the pretty form plus a line break.
// Consumes the result's lists.
std::string format_retrieve_json(std::string_view query, RetrieveResult&& result);

// "<from> --<rel>--> <to>" for an edge record, each value kept on the line.
std::string relation_line(const Json& edge);

}  // namespace plinthar::query

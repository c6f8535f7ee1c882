#pragma once

// `crv retrieve`: the files and relations chosen for a query, as text or JSON.

#include <iosfwd>
#include <string>
#include <string_view>

#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// Loads the graph and ranks it for `query` with the ranking `args.rank` names.
RetrieveResult ranked_retrieval(const Args& args, const Locations& locations,
                                std::string_view query);

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

#pragma once

// `crv retrieve`: the files and relations chosen for a query, as text or JSON.

#include <iosfwd>
#include <string>
#include <string_view>

#include "plinthar/query/commands/ranked_retrieval.hpp"
#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/rank/retrieval.hpp"

namespace plinthar::query {

struct RetrieveOptions {
  RankingRequest ranking;
  bool json = false;
};

// Loads the graph, runs retrieval and prints the result; everything is printed after
// retrieval returns, so a failure leaves standard output empty.
int cmd_retrieve(const RetrieveOptions& options, const Locations& locations,
                 const Streams& streams);

// The text form: the query, the file ids and the relations, one per line, each value
// kept on its line; a missing member prints as None.
std::string format_retrieve_text(std::string_view query, const RetrieveResult& result);

// The JSON form: {"query", "files", "edges"} in the pretty form plus a line break.
// Consumes the result's lists.
std::string format_retrieve_json(std::string_view query, RetrieveResult&& result);

}  // namespace plinthar::query

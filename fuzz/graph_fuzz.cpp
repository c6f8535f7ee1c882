// crv's reading of a graph file and ranking it: the input is a query line and then the
// text of the graph file. The fast record reader must either decline or give exactly
// the records of the general parser; then both retrieval results are printed in every
// form crv prints.

#include <optional>
#include <string>

#include <simdjson.h>

#include "fuzz_target.hpp"
#include "records_dump.hpp"
#include "plinthar/error.hpp"
#include "plinthar/query/commands/prime_command.hpp"
#include "plinthar/query/commands/retrieve_command.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/query/rank/retrieval.hpp"

namespace {

using namespace plinthar;

// The capability index retrieval reads: never there, so that no file is read.
const char* const NO_INDEX = "/nonexistent/plinthar-fuzz/functionality_index.md";

void rank_and_print(const index::GraphRecords& records, std::string_view query_text) {
  for (const std::int64_t limit : {std::int64_t{12}, std::int64_t{-1}}) {
    try {
      query::RetrieveResult result = query::retrieve(records, query_text, limit, limit, NO_INDEX);
      query::format_retrieve_text(query_text, result);
      query::format_prime(query_text, result, {});
      query::format_retrieve_json(query_text, std::move(result));
    } catch (const Error&) {
      // Ids of different types that tie have no order: crv reports it.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::as_text(data, size);
  const std::size_t line_end = input.find('\n');
  const std::string_view query_text = input.substr(0, line_end);
  const std::string_view graph_text =
      line_end == std::string_view::npos ? std::string_view{} : input.substr(line_end + 1);

  const simdjson::padded_string padded(graph_text.data(), graph_text.size());
  const std::optional<index::GraphRecords> records = query::read_graph_records(padded);

  std::optional<text::Json> graph;
  std::string general;
  try {
    graph = query::parse_graph(graph_text, "info_graph.json");
    general = plinthar::testing::records_dump(query::records_of(*graph));
  } catch (const Error& error) {
    general = std::string("error: ") + error.what();
  }
  if (records) {
    FUZZ_CHECK(plinthar::testing::records_dump(*records) == general);
    rank_and_print(*records, query_text);
  } else if (graph && general.rfind("error: ", 0) != 0) {
    rank_and_print(query::records_of(*graph), query_text);
  }
  return 0;
}

#pragma once

// Ranking the graph against a query: the best files (one row per source file) and the
// best relations.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

struct RetrieveResult {
  std::vector<Json> files;
  std::vector<Json> edges;
};

// Number of leading entries that "the first n" takes from a list of `size`: negative n
// leaves off the last |n|.
std::size_t take_count(std::size_t size, std::int64_t n);

// The first n entries (as take_count) of a list whose entries `value_at` gives.
std::vector<Json> first_entries(std::size_t size, std::int64_t n,
                                const std::function<Json(std::size_t)>& value_at);

// A result row: `node` without "content", then "_score", "_role" and "_intent".
Json result_row(const Json& node, std::int64_t score, std::string_view role,
                std::string_view intent);

// Ranks the prepared records of a graph (prepare_records); rows and chosen edges are built from the
// records' values. `capability_index` is the index file to read (a missing file adds no boosts).
// Throws plinthar::Error for equally scored ids that have no order (a string against a number,
// say). A negative limit keeps all but that many of the last entries.
RetrieveResult retrieve(const index::GraphRecords& graph, std::string_view query,
                        std::int64_t top_files, std::int64_t top_edges,
                        const std::filesystem::path& capability_index);

// Reads only the graph's "nodes" and "edges"; `capability_index` is the index file
// to read (a missing file adds no boosts). Member values that are not strings take part
// as their compact JSON text wherever text is compared, keep their type in the rows, and
// match chosen ids by JSON value. Throws plinthar::Error for malformed graph members
// ("nodes"/"edges" not lists, entries not objects, keywords or summary of the wrong
// type) and for equally scored ids that have no order (a string against a number, say).
// A negative limit keeps all but that many of the last entries.
RetrieveResult retrieve(const Json& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index);

}  // namespace plinthar::query

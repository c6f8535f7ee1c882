#pragma once

// Ranking the graph against a query: the best files (one row per source file) and the
// best relations.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "plinthar/scanner/json_format.hpp"

namespace plinthar::query {

using scanner::Json;

struct RetrieveResult {
  std::vector<Json> files;
  std::vector<Json> edges;
};

// Reads only the graph's "nodes" and "edges"; `capability_index` is the index file
// to read (a missing file adds no boosts). Throws plinthar::Error (or a JSON type
// error) for malformed graph members, as the caller reports failures.
RetrieveResult retrieve(const Json& graph, std::string_view query, std::int64_t top_files,
                        std::int64_t top_edges, const std::filesystem::path& capability_index);

}  // namespace plinthar::query

#pragma once

// Ways into a loaded graph that ranking does not need: a file by its id, the symbols of
// a file, symbols by name, and the relations of a file both ways. Each is built the
// first time it is asked for and kept while the graph stays loaded, so that a long-lived
// server pays for it once.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/graph/map_records.hpp"

namespace plinthar::query::mcp {

// Items grouped by a dense key: the items of key k are items[start[k] .. start[k + 1]).
struct GroupedItems {
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> items;

  std::span<const std::uint32_t> of(std::size_t key) const {
    if (key + 1 >= start.size()) return {};
    return std::span<const std::uint32_t>(items).subspan(start[key], start[key + 1] - start[key]);
  }
};

// The name part of a symbol id ("a/b.py::load" gives "load"); the whole id when it has no
// "::".
std::string_view symbol_name(std::string_view symbol_id);

class GraphLookups {
 public:
  // Both must outlive the lookups.
  GraphLookups(const index::GraphRecords& records, const index::TermStats& stats)
      : records_(records), stats_(stats) {}

  // The file (its number in the statistics, the first of the files sharing its id) whose
  // node id is `id`.
  std::optional<std::uint32_t> file_of(std::string_view id);
  // The id of file `file`.
  std::string_view file_id(std::uint32_t file) const;

  // The symbol nodes (by node index, in graph order) whose id starts with file `file`'s
  // id and "::".
  std::span<const std::uint32_t> symbols_of(std::uint32_t file);
  // The symbol nodes named exactly `name`, in graph order.
  std::span<const std::uint32_t> symbols_named(std::string_view name);
  // The symbol nodes whose name equals `name` ignoring ASCII case, in graph order.
  std::span<const std::uint32_t> symbols_named_in_any_case(std::string_view name);

  // The relations (by edge index) from file `file` other than "contains", and those
  // whose target resolves to it.
  std::span<const std::uint32_t> edges_from(std::uint32_t file);
  std::span<const std::uint32_t> edges_to(std::uint32_t file);

 private:
  void build_file_ids();
  void build_symbols();
  void build_edges();

  const index::GraphRecords& records_;
  const index::TermStats& stats_;
  std::optional<absl::flat_hash_map<std::string_view, std::uint32_t>> file_ids_;
  std::optional<GroupedItems> symbols_by_file_;
  absl::flat_hash_map<std::string_view, std::vector<std::uint32_t>> symbols_by_name_;
  std::optional<absl::flat_hash_map<std::string, std::vector<std::uint32_t>>> symbols_by_lower_;
  std::optional<GroupedItems> edges_from_;
  GroupedItems edges_to_;
};

}  // namespace plinthar::query::mcp

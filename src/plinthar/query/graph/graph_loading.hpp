#pragma once

// Where crv obtains its graph: the records that ranking needs, from the graph index when
// one is current, else from the graph file itself (whose index is then written for the
// next call). The fast record reader answers for every graph the scanner writes; the
// general parser is the one fallback, for hand-made graphs it cannot vouch for. When the
// graph file does not exist yet, the project is scanned and the file written first.

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "plinthar/query/graph/graph_file_text.hpp"
#include "plinthar/query/graph/graph_records.hpp"
#include "plinthar/scanner/index/graph_index.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// A graph ready for ranking, with whatever its records view into.
class LoadedGraph {
 public:
  // Records of the index, whole records read from the graph file open as `graph`.
  LoadedGraph(scanner::GraphIndex index, GraphRecords records,
              std::shared_ptr<const text::FileDescriptor> graph);
  // Records read from the graph file's text; prepared here.
  LoadedGraph(GraphFileText text, GraphRecords records);
  // Records of a parsed graph map; prepared here.
  explicit LoadedGraph(Json map);

  const GraphRecords& records() const { return records_; }
  // The index the records come from, when they come from one.
  const scanner::GraphIndex* index() const { return index_ ? &*index_ : nullptr; }

 private:
  std::optional<scanner::GraphIndex> index_;
  std::optional<GraphFileText> text_;
  std::unique_ptr<const Json> map_;
  GraphRecords records_;
};

// The graph of `graph_file`. When that file does not exist, a full scan of `scan_root`
// (with the graph file left out of it) is written there first, creating its folder.
// With `refresh`, an existing graph is first brought up to date with its tree, reading
// only the files that changed when its index holds a snapshot of the tree, else
// scanning in full the root it was scanned from (`scan_root` when that cannot be told).
// Throws plinthar::Error when the file cannot be read or written, is not UTF-8 or JSON,
// or does not hold a graph map.
LoadedGraph load_graph(const std::filesystem::path& graph_file,
                       const std::filesystem::path& scan_root, bool refresh = false);

// The "root" that the graph file at `graph_file` records, read from its first lines;
// nothing when that cannot be had.
std::optional<std::filesystem::path> recorded_root(const std::filesystem::path& graph_file);

// The graph map held in `bytes`, the content of `path` (named in errors), read by the
// general parser. Throws plinthar::Error for text that is not UTF-8 or JSON and for a top
// level that is not a map ("Expected dict, got list").
Json parse_graph(std::string_view bytes, const std::filesystem::path& path);

}  // namespace plinthar::query

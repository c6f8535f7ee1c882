#include "plinthar/query/graph_loading.hpp"

#include <system_error>
#include <utility>

#include "plinthar/query/graph_reading.hpp"
#include "plinthar/query/graph_records_reading.hpp"
#include "plinthar/query/json_text.hpp"
#include "plinthar/query/member_text.hpp"
#include "plinthar/scanner/error.hpp"
#include "plinthar/scanner/file_io.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/text.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

Json parse_graph(std::string_view bytes, const fs::path& path) {
  Json graph;
  try {
    graph = parse_json(bytes);
  } catch (const Json::exception& error) {
    if (!scanner::is_valid_utf8(bytes)) throw Error(path.string() + " is not valid UTF-8");
    throw Error("cannot parse " + path.string() + ": " + parse_error_reason(error));
  }
  if (!graph.is_object()) {
    throw Error("Expected dict, got " + std::string(json_kind_name(graph)));
  }
  return graph;
}

namespace {

// The scan of the default root, written as the graph file that did not exist yet.
Json scan_into_graph_file(const Locations& locations) {
  Json graph = scan_project(locations.default_root, locations.graph_json, locations);
  ensure_data_dir(locations);
  write_graph(graph, locations.graph_json);
  return graph;
}

GraphFileText graph_file_text(const Locations& locations) {
  auto text = GraphFileText::read(locations.graph_json);
  if (!text) throw Error("cannot read " + locations.graph_json.string());
  return std::move(*text);
}

bool graph_file_exists(const Locations& locations) {
  std::error_code error;
  return fs::exists(locations.graph_json, error);
}

}  // namespace

Json load_graph(const Locations& locations, GraphMembers members) {
  if (!graph_file_exists(locations)) return scan_into_graph_file(locations);
  const GraphFileText text = graph_file_text(locations);
  // Pages the reader has passed go back as it goes, so the file does not add to the
  // graph's memory.
  return read_graph_text(text.view(), locations.graph_json, members,
                         [&text](const char* point) { text.release_before(point); });
}

LoadedGraph::LoadedGraph(Json map) : map_(std::make_unique<const Json>(std::move(map))) {}

LoadedGraph::LoadedGraph(GraphFileText text, GraphRecords records)
    : text_(std::move(text)), records_(std::move(records)) {}

RetrieveResult LoadedGraph::retrieve(std::string_view query, std::int64_t top_files,
                                     std::int64_t top_edges,
                                     const fs::path& capability_index) const {
  if (records_) return query::retrieve(*records_, query, top_files, top_edges, capability_index);
  return query::retrieve(*map_, query, top_files, top_edges, capability_index);
}

LoadedGraph load_graph_for_ranking(const Locations& locations, GraphMembers members) {
  if (!graph_file_exists(locations)) return LoadedGraph(scan_into_graph_file(locations));
  GraphFileText text = graph_file_text(locations);
  // Ranking keeps its own copies of the texts it reads, so the pages the reader has
  // passed go back as it goes; the few whole records parsed later read them again.
  const auto release = [&text](const char* point) { text.release_before(point); };
  if (auto records = read_graph_records(text.view(), release)) {
    return LoadedGraph(std::move(text), std::move(*records));
  }
  return LoadedGraph(read_graph_text(text.view(), locations.graph_json, members, release));
}

Json scan_project(const fs::path& root, const fs::path& out, const Locations& locations) {
  return scanner::scan(root, {}, {out, locations.graph_json});
}

void write_graph(const Json& graph, const fs::path& path) {
  scanner::write_file_atomically(
      path, [&graph](const scanner::TextSink& emit) { scanner::write_pretty(graph, emit); });
}

}  // namespace plinthar::query

#include "plinthar/query/graph/graph_loading.hpp"

#include <string>
#include <system_error>
#include <utility>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/query/graph/record_reader.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

Json parse_graph(std::string_view bytes, const fs::path& path) {
  Json graph;
  try {
    graph = text::parse_json(bytes);
  } catch (const Error& error) {
    if (!text::is_valid_utf8(bytes)) throw Error(path.string() + " is not valid UTF-8");
    throw Error("cannot parse " + path.string() + ": " + error.what());
  }
  if (!graph.is_object()) {
    throw Error("Expected dict, got " + std::string(json_kind_name(graph)));
  }
  return graph;
}

LoadedGraph::LoadedGraph(GraphFileText text, GraphRecords records)
    : text_(std::move(text)), records_(std::move(records)) {}

LoadedGraph::LoadedGraph(Json map)
    : map_(std::make_unique<const Json>(std::move(map))), records_(records_of(*map_)) {}

namespace {

bool file_exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

void write_first_graph(const fs::path& graph_file, const fs::path& scan_root) {
  text::create_parent_directories(graph_file);
  scanner::write_graph_file(scan_root, graph_file, {}, {graph_file});
}

}  // namespace

LoadedGraph load_graph(const fs::path& graph_file, const fs::path& scan_root) {
  if (!file_exists(graph_file)) write_first_graph(graph_file, scan_root);
  auto text = GraphFileText::read(graph_file);
  if (!text) throw Error("cannot read " + graph_file.string());
  if (auto records = read_graph_records(text->view())) {
    return LoadedGraph(std::move(*text), std::move(*records));
  }
  const auto view = text->view();
  return LoadedGraph(parse_graph(std::string_view(view.data(), view.size()), graph_file));
}

}  // namespace plinthar::query

#include "plinthar/query/graph/graph_loading.hpp"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/query/graph/record_reader.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh.hpp"
#include "plinthar/text/content_hash.hpp"
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

namespace {

using SharedFile = std::shared_ptr<const text::FileDescriptor>;

// The bytes of `span` of the graph file open as `graph`.
std::string read_span(const text::FileDescriptor& graph, const GraphSpan& span) {
  std::string bytes(span.length, '\0');
  if (!text::read_exactly_at(graph.get(), bytes.data(), bytes.size(), span.offset)) {
    throw Error("cannot read the graph file: it changed while being read");
  }
  return bytes;
}

// A reader of whole records: each parsed from its span of the graph file.
std::function<Json(std::size_t)> span_reader(std::vector<GraphSpan> spans, SharedFile graph) {
  return [spans = std::move(spans), graph = std::move(graph)](std::size_t index) {
    return text::parse_json(read_span(*graph, spans.at(index)));
  };
}

bool file_exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

void write_first_graph(const fs::path& graph_file, const fs::path& scan_root) {
  text::create_parent_directories(graph_file);
  scanner::write_graph_file(scan_root, graph_file, {}, {graph_file});
}

// Brings the graph file up to date; returns its index when the refresh found the graph
// as it stood.
std::optional<scanner::GraphIndex> refresh_graph(const fs::path& graph_file,
                                                 const fs::path& scan_root) {
  if (auto refreshed = scanner::refresh_graph_file(graph_file, {graph_file},
                                                   scanner::RefreshMode::full_scan, std::nullopt)) {
    return std::move(refreshed->index);
  }
  scanner::write_graph_file(recorded_root(graph_file).value_or(scan_root), graph_file, {},
                            {graph_file});
  return std::nullopt;
}

std::optional<LoadedGraph> load_from_index(const fs::path& graph_file, const SharedFile& graph,
                                           std::optional<scanner::GraphIndex> index) {
  if (!index) index = scanner::GraphIndex::open(scanner::index_path_for(graph_file), graph->get());
  if (!index) return std::nullopt;
  auto records = index->records();
  if (!records) return std::nullopt;
  return LoadedGraph(std::move(*index), std::move(*records), graph);
}

// Reads the graph file's text, and writes its index for the next call when the records
// could be read straight from it.
LoadedGraph load_from_text(const fs::path& graph_file, const SharedFile& graph) {
  auto text = GraphFileText::read(graph->get(), graph_file);
  const auto view = text.view();
  const std::uint64_t hash = text::content_hash(std::string_view(view.data(), view.size()));
  if (auto records = read_graph_records(view)) {
    LoadedGraph loaded(std::move(text), std::move(*records));
    if (const auto identity = scanner::graph_identity(graph->get(), hash)) {
      scanner::write_graph_index(scanner::index_path_for(graph_file), loaded.records(), *identity);
    }
    return loaded;
  }
  Json map = parse_graph(std::string_view(view.data(), view.size()), graph_file);
  try {
    return LoadedGraph(std::move(map));
  } catch (const Error& error) {
    throw Error("cannot parse " + graph_file.string() + ": " + error.what());
  }
}

}  // namespace

LoadedGraph::LoadedGraph(scanner::GraphIndex index, GraphRecords records, SharedFile graph)
    : index_(std::move(index)), records_(std::move(records)) {
  records_.node_value = span_reader(records_.node_spans, graph);
  records_.edge_value = span_reader(records_.edge_spans, graph);
}

LoadedGraph::LoadedGraph(GraphFileText text, GraphRecords records)
    : text_(std::move(text)), records_(std::move(records)) {
  scanner::prepare_records(records_);
}

LoadedGraph::LoadedGraph(Json map)
    : map_(std::make_unique<const Json>(std::move(map))), records_(records_of(*map_)) {
  scanner::prepare_records(records_);
}

std::optional<fs::path> recorded_root(const fs::path& graph_file) {
  // The graph writer puts "root" first: `{`, a line break, two spaces, then the member.
  constexpr std::string_view HEAD = "{\n  \"root\": \"";
  const text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  std::string head(std::size_t{64} << 10, '\0');
  const ssize_t count = ::read(fd.get(), head.data(), head.size());
  if (count <= 0) return std::nullopt;
  head.resize(static_cast<std::size_t>(count));
  if (!head.starts_with(HEAD)) return std::nullopt;
  const std::size_t end = head.find("\",\n", HEAD.size());
  if (end == std::string::npos) return std::nullopt;
  const auto root =
      text::try_parse_json(std::string_view(head).substr(HEAD.size() - 1, end - HEAD.size() + 2));
  if (!root || !root->is_string()) return std::nullopt;
  return fs::path(root->get_ref<const std::string&>());
}

LoadedGraph load_graph(const fs::path& graph_file, const fs::path& scan_root, bool refresh) {
  std::optional<scanner::GraphIndex> index;
  if (!file_exists(graph_file)) {
    write_first_graph(graph_file, scan_root);
  } else if (refresh) {
    index = refresh_graph(graph_file, scan_root);
  }
  const auto graph = std::make_shared<const text::FileDescriptor>(
      ::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (graph->get() < 0)
    throw Error("cannot read " + graph_file.string() + ": " + std::strerror(errno));
  if (auto loaded = load_from_index(graph_file, graph, std::move(index))) {
    return std::move(*loaded);
  }
  return load_from_text(graph_file, graph);
}

}  // namespace plinthar::query

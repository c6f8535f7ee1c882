#include "plinthar/query/graph/loaded_graph.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_status.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

namespace {

// The bytes of `span` of the graph file open as `graph`.
std::string read_span(const text::FileDescriptor& graph, const index::GraphSpan& span) {
  std::string bytes(span.length, '\0');
  if (!text::read_exactly_at(graph.get(), bytes.data(), bytes.size(), span.offset)) {
    throw Error("cannot read the graph file: it changed while being read");
  }
  return bytes;
}

// A reader of whole records: each parsed from its span of the graph file.
std::function<Json(std::size_t)> span_reader(std::vector<index::GraphSpan> spans,
                                             SharedFile graph) {
  return [spans = std::move(spans), graph = std::move(graph)](std::size_t at) {
    return text::parse_json(read_span(*graph, spans.at(at)));
  };
}

// A reader of whole records: each parsed from its span of the text held in memory.
std::function<Json(std::size_t)> text_reader(std::string_view text,
                                             const std::vector<index::GraphSpan>& spans) {
  return [text, spans](std::size_t at) {
    const index::GraphSpan& span = spans.at(at);
    return text::parse_json(text.substr(span.offset, span.length));
  };
}

// Whether `stats` describe `records`: the same edges, and files among the same nodes.
bool describes(const index::TermStats& stats, const index::GraphRecords& records) {
  if (stats.edge_count() != records.edges.size()) return false;
  for (std::size_t file = 0; file < stats.file_count(); ++file) {
    if (stats.node(file) >= records.nodes.size()) return false;
  }
  return true;
}

std::string_view whole(const GraphFileText& text) {
  return {text.view().data(), text.view().size()};
}

// Why `text`, which the general parser reads as JSON but is no graph map, is none.
[[noreturn]] void not_a_graph(const fs::path& path, std::string_view text) {
  std::string why;
  try {
    why = "Expected dict, got " + std::string(type_name_in_messages(text::parse_json(text)));
  } catch (const Error& error) {
    why = error.what();
  }
  throw Error("cannot parse " + path.string() + ": " + why);
}

// The graph map of `text` by the general parser, failing as parse_graph does when
// `for_records`, and naming the file in every failure otherwise.
Json general_parse(const fs::path& path, std::string_view text, bool for_records) {
  if (for_records) return parse_graph(text, path);
  auto parsed = text::try_parse_json(text);
  if (!parsed || !parsed->is_object()) not_a_graph(path, text);
  return std::move(*parsed);
}

}  // namespace

std::optional<OpenGraphFile> open_graph_file(const fs::path& path, text::Links links) {
  auto fd = std::make_shared<const text::FileDescriptor>(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | text::open_flags(links)));
  if (fd->get() >= 0) return OpenGraphFile{path, std::move(fd)};
  if (errno == ENOENT) return std::nullopt;
  throw Error("cannot read " + path.string() + ": " + text::open_error_text(errno));
}

LoadedGraph read_graph(const OpenGraphFile& file, std::optional<index::GraphIndex> index,
                       bool want_stats) {
  LoadedGraph graph;
  if (index) {
    if (auto records = index->records()) {
      graph.records_ = std::move(*records);
      graph.records_.node_value = span_reader(graph.records_.node_spans, file.fd);
      graph.records_.edge_value = span_reader(graph.records_.edge_spans, file.fd);
      graph.index_ = std::move(index);
    }
  }
  const bool stats_in_index = [&] {
    if (!want_stats || !graph.index_) return false;
    const auto bytes = graph.index_->section(index::SectionKind::term_stats);
    if (!bytes) return false;
    graph.stats_ = index::TermStats::open(*bytes);
    return graph.stats_ && describes(*graph.stats_, graph.records_);
  }();
  if (graph.index_ && (!want_stats || stats_in_index)) return graph;
  graph.stats_.reset();

  const auto before = text::file_status(file.fd->get());
  graph.text_ = GraphFileText::read(file.fd->get(), file.path);
  const std::string_view text = whole(*graph.text_);
  scanner::TermStatsBuilder builder;
  GraphSinks sinks{graph.index_ ? nullptr : &graph.records_, want_stats ? &builder : nullptr,
                   nullptr};
  if (walk_graph_text(graph.text_->view(), sinks)) {
    if (!graph.index_) {
      graph.records_.node_value = text_reader(text, graph.records_.node_spans);
      graph.records_.edge_value = text_reader(text, graph.records_.edge_spans);
      const auto after = text::file_status(file.fd->get());
      if (before && after && *before == *after) {
        graph.text_identity_ = index::GraphIdentity{*after, text::content_hash(text)};
      }
    }
  } else {
    builder = scanner::TermStatsBuilder();
    graph.map_ = std::make_unique<const Json>(general_parse(file.path, text, !graph.index_));
    if (!graph.index_) graph.records_ = {};
    try {
      walk_graph_map(*graph.map_, sinks);
    } catch (const Error& error) {
      throw Error("cannot parse " + file.path.string() + ": " + error.what());
    }
  }
  if (!graph.index_) index::prepare_records(graph.records_);
  if (want_stats) {
    graph.built_stats_ = std::make_unique<const std::string>(builder.finish());
    graph.stats_ = index::TermStats::open(*graph.built_stats_);
    if (!graph.stats_ || !describes(*graph.stats_, graph.records_)) {
      throw Error("cannot read " + file.path.string() + ": it changed while being read");
    }
  }
  return graph;
}

namespace {

// A reader of whole records of a pending graph: each parsed from the graph file as it
// stands or from the objects of the files read again.
std::function<Json(std::size_t)> pending_reader(
    std::shared_ptr<const scanner::PendingGraph> pending, std::vector<index::GraphSpan> spans,
    const std::vector<bool>& is_new) {
  return [pending = std::move(pending), spans = std::move(spans), &is_new](std::size_t at) {
    const index::GraphSpan& span = spans.at(at);
    if (!is_new.at(at)) return text::parse_json(read_span(*pending->standing_file, span));
    return text::parse_json(
        std::string_view(pending->new_objects).substr(span.offset, span.length));
  };
}

}  // namespace

std::optional<LoadedGraph> read_pending(std::shared_ptr<scanner::PendingGraph> pending,
                                        bool want_stats) {
  if (want_stats && !pending->term_stats) return std::nullopt;
  LoadedGraph graph;
  graph.records_ = std::move(pending->records);
  graph.pending_ = pending;
  graph.records_.node_value = pending_reader(pending, graph.records_.node_spans, pending->node_new);
  graph.records_.edge_value = pending_reader(pending, graph.records_.edge_spans, pending->edge_new);
  if (want_stats) {
    graph.stats_ = index::TermStats::open(*pending->term_stats);
    if (!graph.stats_ || !describes(*graph.stats_, graph.records_)) return std::nullopt;
  }
  return graph;
}

std::optional<fs::path> recorded_root(const OpenGraphFile& file) {
  try {
    const GraphFileText text = GraphFileText::read(file.fd->get(), file.path);
    std::optional<std::string> root;
    if (!walk_graph_text(text.view(), {nullptr, nullptr, &root})) {
      const auto parsed = text::try_parse_json(whole(text));
      if (!parsed || !parsed->is_object()) return std::nullopt;
      walk_graph_map(*parsed, {nullptr, nullptr, &root});
    }
    if (!root) return std::nullopt;
    return fs::path(*root);
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace plinthar::query

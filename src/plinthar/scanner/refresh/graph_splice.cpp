#include "plinthar/scanner/refresh/graph_splice.hpp"

#include <string>

#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/scanner/refresh/stats_patch.hpp"
#include "plinthar/scanner/refresh/stats_update.hpp"
#include "plinthar/scanner/scanned_records.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;

RefreshResult counts_of_graph(const std::vector<Candidate>& files) {
  RefreshResult result;
  result.rewritten = true;
  for (const Candidate& file : files) {
    if (file.outcome != FileOutcome::scanned) continue;
    const std::size_t nodes = file.reused ? file.previous->node_count : file.scanned->nodes.size();
    result.node_count += static_cast<std::int64_t>(nodes);
    result.symbol_count += static_cast<std::int64_t>(nodes) - 1;
    result.edge_count += static_cast<std::int64_t>(file.reused ? file.previous->edge_count
                                                               : file.scanned->edges.size());
  }
  return result;
}

namespace {

// Places the objects of the graph being gathered in the graph file being written: those
// taken over copied from the graph as it stands.
class StreamPlacer : public ObjectPlacer {
 public:
  StreamPlacer(GraphStream& stream, StandingGraph& graph) : stream_(stream), graph_(graph) {}

  index::GraphSpan reused_node(const index::GraphSpan& old) override {
    return stream_.node(graph_.text(old));
  }
  index::GraphSpan new_node(const Json& node) override { return stream_.node(node); }
  index::GraphSpan reused_edge(const index::GraphSpan& old) override {
    return stream_.edge(graph_.text(old));
  }
  index::GraphSpan new_edge(const Edge& edge) override { return stream_.edge(edge); }

 private:
  GraphStream& stream_;
  StandingGraph& graph_;
};

}  // namespace

void gather_records(const std::vector<Candidate>& files, StandingGraph& graph, ObjectPlacer& place,
                    index::GraphRecords& records, StatsUpdate* stats, const NodeObserver& observe) {
  const index::GraphRecords& old = graph.records();
  for (const Candidate& file : files) {
    if (file.outcome != FileOutcome::scanned) continue;
    if (file.reused) {
      const std::size_t first = graph.first_node[file.previous_index];
      if (stats != nullptr) stats->reused_file(old.nodes[first], first, file.previous->node_count);
      for (std::size_t i = first; i < first + file.previous->node_count; ++i) {
        records.node_spans.push_back(place.reused_node(old.node_spans[i]));
        records.nodes.push_back(old.nodes[i]);
        if (observe && old.nodes[i].kind == "symbol") {
          observe(text::parse_json(graph.text(old.node_spans[i])));
        }
      }
    } else {
      for (const Json& node : file.scanned->nodes) {
        records.node_spans.push_back(place.new_node(node));
        index::prepare_node(records.nodes.emplace_back(record_of_scanned_node(node, records.texts)),
                            records.texts);
        if (stats != nullptr) stats->scanned_node(node);
        if (observe) observe(node);
      }
    }
  }
  for (const Candidate& file : files) {
    if (file.outcome != FileOutcome::scanned) continue;
    if (file.reused) {
      const std::size_t first = graph.first_edge[file.previous_index];
      for (std::size_t i = first; i < first + file.previous->edge_count; ++i) {
        records.edge_spans.push_back(place.reused_edge(old.edge_spans[i]));
        const index::EdgeRecord& edge = records.edges.emplace_back(old.edges[i]);
        if (stats != nullptr) stats->edge(edge.from.text, edge.to.text, edge.rel);
      }
    } else {
      for (const Edge& edge : file.scanned->edges) {
        records.edge_spans.push_back(place.new_edge(edge));
        index::prepare_edge(records.edges.emplace_back(record_of_edge(edge)), records.texts);
        if (stats != nullptr) stats->edge(edge.from, edge.to, edge.rel);
      }
    }
  }
}

RefreshResult splice_graph(const fs::path& graph_file, const std::vector<Candidate>& files,
                           StandingGraph& graph, const TreeSnapshot& snapshot,
                           const NodeObserver& observe) {
  RefreshResult result = counts_of_graph(files);
  // Statistics patched from those as they stand, else counted again for the files read
  // again and taken over for the rest.
  auto patched = patched_stats(files, graph);
  auto stats = patched ? std::nullopt : StatsUpdate::of(graph.index());
  index::GraphRecords records;
  const WrittenGraph written = write_graph_text(graph_file, [&](const text::TextSink& emit) {
    GraphStream stream(emit, snapshot.root, result.node_count, result.symbol_count,
                       static_cast<std::size_t>(result.edge_count));
    StreamPlacer place(stream, graph);
    gather_records(files, graph, place, records, stats ? &*stats : nullptr, observe);
    stream.finish();
  });
  index::count_degrees(records);
  index::ExtraSections sections{{index::SectionKind::snapshot, snapshot_section(snapshot)}};
  // Without statistics of the graph as it stood, the hybrid ranking builds them when it
  // first needs them.
  if (patched) {
    sections.emplace_back(index::SectionKind::term_stats, std::move(*patched));
  } else if (auto bytes = stats ? stats->finish() : std::nullopt) {
    sections.emplace_back(index::SectionKind::term_stats, std::move(*bytes));
  }
  write_index_beside(graph_file, records, written, sections);
  return result;
}

}  // namespace plinthar::scanner

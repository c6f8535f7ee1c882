#include "plinthar/scanner/refresh/pending_graph.hpp"

#include <algorithm>
#include <iterator>

#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh/graph_splice.hpp"
#include "plinthar/scanner/refresh/stats_patch.hpp"
#include "plinthar/scanner/refresh/stats_update.hpp"
#include "plinthar/scanner/scanned_records.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::scanner {
namespace {

// Appends the object text of `node` or `edge` as a graph file holds it to `out`, and
// says where it stands there.
index::GraphSpan append_object(const Json& node, std::string& out) {
  const std::size_t start = out.size();
  text::write_pretty_nested(node, 2, out);
  return {start, out.size() - start};
}

index::GraphSpan append_object(const Edge& edge, std::string& out) {
  const std::size_t start = out.size();
  write_edge_object(edge, out);
  return {start, out.size() - start};
}

// Objects taken over stay in the graph file as it stands; those of files read again are
// written out as a graph file would hold them.
class MemoryPlacer : public ObjectPlacer {
 public:
  explicit MemoryPlacer(PendingGraph& pending) : pending_(pending) {}

  index::GraphSpan reused_node(const index::GraphSpan& old) override {
    return kept(pending_.node_new, old);
  }
  index::GraphSpan new_node(const Json& node) override { return added(pending_.node_new, node); }
  index::GraphSpan reused_edge(const index::GraphSpan& old) override {
    return kept(pending_.edge_new, old);
  }
  index::GraphSpan new_edge(const Edge& edge) override { return added(pending_.edge_new, edge); }

 private:
  static index::GraphSpan kept(std::vector<bool>& is_new, const index::GraphSpan& old) {
    is_new.push_back(false);
    return old;
  }
  template <typename Object>
  index::GraphSpan added(std::vector<bool>& is_new, const Object& object) {
    is_new.push_back(true);
    return append_object(object, pending_.new_objects);
  }

  PendingGraph& pending_;
};

// Replaces `count` items of `items` from `first` on with `replacement`.
template <typename T>
void replace_range(std::vector<T>& items, std::size_t first, std::size_t count,
                   std::vector<T>&& replacement) {
  const auto at = items.begin() + static_cast<std::ptrdiff_t>(first);
  const std::size_t common = std::min(count, replacement.size());
  std::move(replacement.begin(), replacement.begin() + static_cast<std::ptrdiff_t>(common), at);
  if (count > common) {
    items.erase(at + static_cast<std::ptrdiff_t>(common), at + static_cast<std::ptrdiff_t>(count));
  } else {
    items.insert(at + static_cast<std::ptrdiff_t>(common),
                 std::make_move_iterator(replacement.begin() + static_cast<std::ptrdiff_t>(common)),
                 std::make_move_iterator(replacement.end()));
  }
}

// The records of the graph as it stands, edited where the files read again stand: with
// the same files in the same order, no second copy of the records is made. Files are
// edited from the last one back, so that the places of the earlier ones hold.
void edit_in_place(PendingGraph& pending, StandingGraph& graph) {
  index::GraphRecords& records = pending.records;
  pending.node_new.assign(records.nodes.size(), false);
  pending.edge_new.assign(records.edges.size(), false);
  for (auto file = pending.files.rbegin(); file != pending.files.rend(); ++file) {
    if (file->outcome != FileOutcome::scanned || file->reused) continue;
    const std::size_t at = file->previous_index;
    const SnapshotFile& before = graph.snapshot().files[at];
    std::vector<index::NodeRecord> nodes;
    std::vector<index::GraphSpan> node_spans;
    for (const Json& node : file->scanned->nodes) {
      node_spans.push_back(append_object(node, pending.new_objects));
      index::prepare_node(nodes.emplace_back(record_of_scanned_node(node, records.texts)),
                          records.texts);
    }
    std::vector<index::EdgeRecord> edges;
    std::vector<index::GraphSpan> edge_spans;
    for (const Edge& edge : file->scanned->edges) {
      edge_spans.push_back(append_object(edge, pending.new_objects));
      index::prepare_edge(edges.emplace_back(record_of_edge(edge)), records.texts);
    }
    const std::size_t first_node = graph.first_node[at];
    const std::size_t first_edge = graph.first_edge[at];
    replace_range(pending.node_new, first_node, before.node_count,
                  std::vector<bool>(nodes.size(), true));
    replace_range(records.node_spans, first_node, before.node_count, std::move(node_spans));
    replace_range(records.nodes, first_node, before.node_count, std::move(nodes));
    replace_range(pending.edge_new, first_edge, before.edge_count,
                  std::vector<bool>(edges.size(), true));
    replace_range(records.edge_spans, first_edge, before.edge_count, std::move(edge_spans));
    replace_range(records.edges, first_edge, before.edge_count, std::move(edges));
  }
}

}  // namespace

std::unique_ptr<PendingGraph> pending_graph(std::vector<Candidate> files, StandingGraph& graph) {
  graph.records();  // read before the index moves: they view into its bytes
  // Statistics patched for the same files in the same order, which also lets the
  // records be edited where they stand.
  std::optional<std::string> stats = patched_stats(files, graph);
  auto update = stats ? std::nullopt : StatsUpdate::of(graph.index());
  // The records view the scans of the files read again: they stay in `files`, whose
  // elements moving the vector does not move.
  auto pending = std::make_unique<PendingGraph>(PendingGraph{
      graph.take_index(), std::move(files), {}, graph.file(), {}, {}, {}, std::move(stats)});
  if (pending->term_stats) {
    pending->records = graph.take_records();
    edit_in_place(*pending, graph);
  } else {
    MemoryPlacer place(*pending);
    gather_records(pending->files, graph, place, pending->records, update ? &*update : nullptr, {});
  }
  index::count_degrees(pending->records);
  if (update) pending->term_stats = update->finish();
  return pending;
}

}  // namespace plinthar::scanner

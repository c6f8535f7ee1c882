#include "plinthar/scanner/refresh/pending_graph.hpp"

#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh/graph_splice.hpp"
#include "plinthar/scanner/refresh/stats_patch.hpp"
#include "plinthar/scanner/refresh/stats_update.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::scanner {
namespace {

// Objects taken over stay in the graph file as it stands; those of files read again are
// written out as a graph file would hold them.
class MemoryPlacer : public ObjectPlacer {
 public:
  explicit MemoryPlacer(PendingGraph& pending) : pending_(pending) {}

  index::GraphSpan reused_node(const index::GraphSpan& old) override {
    pending_.node_new.push_back(false);
    return old;
  }
  index::GraphSpan new_node(const Json& node) override {
    pending_.node_new.push_back(true);
    const std::size_t start = pending_.new_objects.size();
    text::write_pretty_nested(node, 2, pending_.new_objects);
    return {start, pending_.new_objects.size() - start};
  }
  index::GraphSpan reused_edge(const index::GraphSpan& old) override {
    pending_.edge_new.push_back(false);
    return old;
  }
  index::GraphSpan new_edge(const Edge& edge) override {
    pending_.edge_new.push_back(true);
    const std::size_t start = pending_.new_objects.size();
    write_edge_object(edge, pending_.new_objects);
    return {start, pending_.new_objects.size() - start};
  }

 private:
  PendingGraph& pending_;
};

}  // namespace

std::unique_ptr<PendingGraph> pending_graph(std::vector<Candidate> files, StandingGraph& graph) {
  graph.records();  // read before the index moves: they view into its bytes
  std::optional<std::string> stats = patched_stats(files, graph);
  auto update = stats ? std::nullopt : StatsUpdate::of(graph.index());
  // The records view the scans of the files read again: they stay in `files`, whose
  // elements moving the vector does not move.
  auto pending = std::make_unique<PendingGraph>(PendingGraph{
      graph.take_index(), std::move(files), {}, graph.file(), {}, {}, {}, std::move(stats)});
  MemoryPlacer place(*pending);
  gather_records(pending->files, graph, place, pending->records, update ? &*update : nullptr, {});
  index::count_degrees(pending->records);
  if (update) pending->term_stats = update->finish();
  return pending;
}

}  // namespace plinthar::scanner

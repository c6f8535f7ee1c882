#pragma once

// Writing the graph of a refreshed tree: the objects of the files taken over are copied
// from the graph file as it stands, those of the files read again written anew, into
// byte for byte the graph a full scan of the tree gives, with its index.

#include <filesystem>
#include <vector>

#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"
#include "plinthar/scanner/refresh/standing_graph.hpp"
#include "plinthar/scanner/refresh/tree_diff.hpp"

namespace plinthar::scanner {

class StatsUpdate;

// Where the objects of a graph being gathered from the standing one go: each call says
// where the object of the next node or edge now stands.
class ObjectPlacer {
 public:
  virtual ~ObjectPlacer() = default;
  // An object taken over, at `old` in the graph file as it stands.
  virtual index::GraphSpan reused_node(const index::GraphSpan& old) = 0;
  virtual index::GraphSpan new_node(const Json& node) = 0;
  virtual index::GraphSpan reused_edge(const index::GraphSpan& old) = 0;
  virtual index::GraphSpan new_edge(const Edge& edge) = 0;
};

// The records of the graph of `files` in graph order (those of reused files taken over
// from `graph`), their objects placed by `place`; `stats`, when given, sees every file
// and edge, and `observe` every symbol node.
void gather_records(const std::vector<Candidate>& files, StandingGraph& graph, ObjectPlacer& place,
                    index::GraphRecords& records, StatsUpdate* stats, const NodeObserver& observe);

// The counts of the graph of `files`: every scanned file gives one file node and its
// symbols.
RefreshResult counts_of_graph(const std::vector<Candidate>& files);

// Replaces `graph_file` with the graph of `files` (reused ones copied from `graph`, the
// others as they were read again) and writes its index: the records, `snapshot`, and the
// term statistics updated from those of `graph` when it has them. `observe` sees every
// symbol node. Returns the counts of the new graph. The caller holds the graph's lock.
// Throws plinthar::Error when the graph cannot be written.
RefreshResult splice_graph(const std::filesystem::path& graph_file,
                           const std::vector<Candidate>& files, StandingGraph& graph,
                           const TreeSnapshot& snapshot, const NodeObserver& observe);

}  // namespace plinthar::scanner

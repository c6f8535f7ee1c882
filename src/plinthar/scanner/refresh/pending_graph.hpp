#pragma once

// A refreshed graph held in memory instead of written: the records and term statistics a
// rewrite would write, for a caller that ranks on them at once and leaves writing the
// graph file to a process of its own. Each node's and edge's object stays where it is:
// in the graph file as it stands, or among the files read again.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/records.hpp"
#include "plinthar/scanner/refresh/standing_graph.hpp"
#include "plinthar/scanner/refresh/tree_diff.hpp"

namespace plinthar::scanner {

struct PendingGraph {
  // What the records view: the index of the graph file as it stands, and the files read
  // again.
  index::GraphIndex standing_index;
  std::vector<Candidate> files;
  index::GraphRecords records;
  // Where each node's and edge's object is: at its span of `standing_file`, or, where
  // `*_new` says so, at its span of `new_objects`.
  std::shared_ptr<const text::FileDescriptor> standing_file;
  std::vector<bool> node_new;
  std::vector<bool> edge_new;
  std::string new_objects;
  // The term statistics, when the graph as it stands had them.
  std::optional<std::string> term_stats;
};

// The graph of `files`, gathered from `graph` as splice_graph would write it. `graph`
// gives up its index; the files' links to its snapshot are not to be followed afterwards.
std::unique_ptr<PendingGraph> pending_graph(std::vector<Candidate> files, StandingGraph& graph);

}  // namespace plinthar::scanner

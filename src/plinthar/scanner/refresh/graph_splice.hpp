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

// Replaces `graph_file` with the graph of `files` (reused ones copied from `graph`, the
// others as they were read again) and writes its index: the records, `snapshot`, and the
// term statistics updated from those of `graph` when it has them. `observe` sees every
// symbol node. Returns the counts of the new graph. The caller holds the graph's lock.
// Throws plinthar::Error when the graph cannot be written.
RefreshResult splice_graph(const std::filesystem::path& graph_file,
                           const std::vector<Candidate>& files, StandingGraph& graph,
                           const TreeSnapshot& snapshot, const NodeObserver& observe);

}  // namespace plinthar::scanner

#include "plinthar/scanner/refresh/refresh.hpp"

// A refresh compares the tree with the snapshot in the graph's index (tree_diff), reads
// again the files whose status changed, or is too close to the snapshot's time to be
// trusted, and decides: a file read again that gives the same nodes and edges as before
// changes only the snapshot; anything else rewrites the graph file (graph_splice),
// copying the objects of the unchanged files from the file as it stands, and updates the
// term statistics (stats_update). A file's nodes and edges stand together in a graph file
// when no two files share an id, which the snapshot records.

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/refresh/graph_splice.hpp"
#include "plinthar/scanner/refresh/pending_graph.hpp"
#include "plinthar/scanner/refresh/standing_graph.hpp"
#include "plinthar/scanner/refresh/tree_diff.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_lock.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

// Whether the diff leaves `file` to be read again.
bool read_again(const Candidate& file) {
  return !file.reused && file.outcome != FileOutcome::excluded;
}

std::size_t count_read_again(const std::vector<Candidate>& files) {
  return static_cast<std::size_t>(std::count_if(files.begin(), files.end(), read_again));
}

// The earlier file nodes of the files to be read again, for a rescan's reuse of the
// analysis of unchanged texts.
ExistingNodes earlier_nodes(const std::vector<Candidate>& files, StandingGraph& graph,
                            const fs::path& resolved_root) {
  std::unordered_map<std::string_view, std::size_t> first_node_of;
  for (std::size_t i = 0; i < graph.snapshot().files.size(); ++i) {
    const SnapshotFile& file = graph.snapshot().files[i];
    if (file.outcome == FileOutcome::scanned) first_node_of[file.file_id] = graph.first_node[i];
  }
  ExistingNodes nodes;
  for (const Candidate& file : files) {
    if (!read_again(file)) continue;
    std::string id = relative_file_id(fs::path(file.resolved), resolved_root);
    const auto found = first_node_of.find(id);
    if (found == first_node_of.end()) continue;
    const auto node = text::try_parse_json(graph.text(graph.records().node_spans[found->second]));
    if (node) nodes.emplace(std::move(id), std::move(*node));
  }
  return nodes;
}

void read_changed_files(std::vector<Candidate>& files, const fs::path& root,
                        const ExistingNodes& earlier) {
  FileScanner scanner(root, earlier);
  for (Candidate& file : files) {
    if (!read_again(file)) continue;
    file.scanned = scanner.scan({std::string(file.path), std::string(file.resolved)});
    if (file.scanned) report_unfinished_searches(std::string(file.path), *file.scanned);
    file.outcome = file.scanned ? FileOutcome::scanned : FileOutcome::skipped;
  }
}

// Whether a file read again gave exactly the objects the graph already holds for it.
bool same_as_before(const Candidate& file, StandingGraph& graph) {
  const SnapshotFile& previous = *file.previous;
  if (!file.scanned) return previous.outcome == FileOutcome::skipped;
  const FileScan& scan = *file.scanned;
  if (previous.outcome != FileOutcome::scanned || scan.nodes.size() != previous.node_count ||
      scan.edges.size() != previous.edge_count) {
    return false;
  }
  std::string text;
  for (std::size_t i = 0; i < scan.nodes.size(); ++i) {
    text.clear();
    text::write_pretty_nested(scan.nodes[i], 2, text);
    const index::GraphSpan& span =
        graph.records().node_spans[graph.first_node[file.previous_index] + i];
    if (text != graph.text(span)) return false;
  }
  for (std::size_t i = 0; i < scan.edges.size(); ++i) {
    text.clear();
    write_edge_object(scan.edges[i], text);
    const index::GraphSpan& span =
        graph.records().edge_spans[graph.first_edge[file.previous_index] + i];
    if (text != graph.text(span)) return false;
  }
  return true;
}

// Whether the graph file would come out as it stands: the same files in the same order,
// each with the same objects.
bool graph_unchanged(const std::vector<Candidate>& files, StandingGraph& graph) {
  if (files.size() != graph.snapshot().files.size()) return false;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Candidate& file = files[i];
    if (file.previous != &graph.snapshot().files[i] || file.outcome != file.previous->outcome) {
      return false;
    }
    if (read_again(file) && !same_as_before(file, graph)) {
      return false;
    }
  }
  return true;
}

// How many times a refresh looks again when another writer replaced the graph file
// while it looked; then it leaves the graph to that writer.
constexpr int ATTEMPTS = 4;

// What one look at the tree gave: its result, or that another writer replaced the graph
// file meanwhile.
struct Attempt {
  std::optional<RefreshResult> result;
  bool replaced_meanwhile = false;
};

// Whether the graph file at `graph_file` is still the one `identity` describes.
bool still_standing(const fs::path& graph_file, const index::GraphIdentity& identity) {
  return text::file_status(graph_file) == identity.file;
}

// Replaces the snapshot in the index beside `graph_file` as it is now (a reader may have
// added the term statistics since `standing` was opened).
void record_statuses(const fs::path& graph_file, StandingGraph& standing,
                     const TreeSnapshot& snapshot) {
  const fs::path index_path = index::graph_index_path(graph_file);
  const auto current = index::GraphIndex::open(index_path, standing.file()->get());
  index::replace_sections(index_path, current ? *current : standing.index(),
                          {{index::SectionKind::snapshot, snapshot_section(snapshot)}});
}

// Whether reading the files of `files` to read, and perhaps rewriting the graph file of
// `graph`, is more than `limits` allow.
bool beyond(const RefreshLimits& limits, const std::vector<Candidate>& files,
            const StandingGraph& graph) {
  const std::size_t to_read = count_read_again(files);
  return to_read > limits.most_files_read ||
         (to_read > 0 && !limits.keep_graph_file &&
          graph.index().graph().file.size > limits.most_graph_bytes);
}

Attempt refresh_once(const fs::path& graph_file, const ScanScope& scope, RefreshMode mode,
                     const std::optional<fs::path>& root, const NodeObserver& observe,
                     const RefreshLimits& limits) {
  const std::int64_t started = wall_clock_ns();
  auto graph = open_standing(graph_file, mode);
  if (!graph || (root && root->string() != graph->snapshot().root)) return {};
  const fs::path tree_root = graph->snapshot().root;
  require_scan_root(tree_root);
  TreeDiff diff = diff_tree(graph->snapshot(), tree_root, scope);
  std::vector<Candidate>& files = diff.files;
  if (beyond(limits, files, *graph)) {
    RefreshResult deferred;
    deferred.deferred = true;
    return {std::move(deferred), false};
  }
  const ExistingNodes earlier = mode == RefreshMode::keep_analysis
                                    ? earlier_nodes(files, *graph, text::resolve_path(tree_root))
                                    : ExistingNodes{};
  read_changed_files(files, tree_root, earlier);
  const std::size_t files_read = count_read_again(files);
  const bool unchanged = graph_unchanged(files, *graph);
  // A tree found as the snapshot left it keeps that snapshot, which has distinct ids.
  const bool looked_again = !unchanged || files_read > 0 || diff.rewalked;
  const TreeSnapshot snapshot =
      looked_again ? snapshot_after(diff, graph->snapshot(), started) : TreeSnapshot{};
  if (looked_again && !snapshot.distinct_ids) return {};
  if (!unchanged && limits.keep_graph_file) {
    RefreshResult result = counts_of_graph(files);
    result.rewritten = false;
    result.files_read = files_read;
    result.pending = pending_graph(std::move(files), *graph);
    return {std::move(result), false};
  }
  std::optional<text::FileLock> lock;
  if (looked_again) {
    lock = text::FileLock::wait_for(index::graph_lock_path(graph_file));
    if (!still_standing(graph_file, graph->index().graph())) return {std::nullopt, true};
  }
  RefreshResult result;
  if (!unchanged) {
    result = splice_graph(graph_file, files, *graph, snapshot, observe);
  } else {
    // The same graph: only the snapshot learns the statuses of the files read again.
    if (lock) record_statuses(graph_file, *graph, snapshot);
    result = counts_of_graph(files);  // from the snapshot: the records are not read
    result.rewritten = false;
    result.index = graph->take_index();
    // The index goes on to ranking, which never reads the snapshot.
    result.index->release(index::SectionKind::snapshot);
    result.graph_file = graph->file();
  }
  result.files_read = files_read;
  return {std::move(result), false};
}

}  // namespace

// The look at the tree and the reading of changed files take no lock; the graph's lock
// is held only to write, and a writer that replaced the graph file meanwhile (a scan, a
// concurrent refresh) is not undone: the tree is looked at again, against its graph.
std::optional<RefreshResult> refresh_graph_file(const fs::path& graph_file, const ScanScope& scope,
                                                RefreshMode mode,
                                                const std::optional<fs::path>& root,
                                                const NodeObserver& observe,
                                                const RefreshLimits& limits) {
  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    Attempt done = refresh_once(graph_file, scope, mode, root, observe, limits);
    if (!done.replaced_meanwhile) return std::move(done.result);
  }
  return std::nullopt;  // others keep writing it: the caller scans in full
}

}  // namespace plinthar::scanner

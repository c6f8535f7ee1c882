#include "plinthar/scanner/refresh/refresh.hpp"

// A refresh walks the tree only when a directory changed (an unchanged directory has the
// same entries), takes the status of every file, and reads again the files whose status
// changed, or is too close to the snapshot's time to be trusted. A file read again that
// gives the same nodes and edges as before changes only the snapshot; anything else
// rewrites the graph file, copying the objects of the unchanged files from the file as
// it stands. A file's nodes and edges stand together in a graph file when no two files
// share an id, which the snapshot records.

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <fcntl.h>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/platform/padded_file.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/refresh/tree_snapshot.hpp"
#include "plinthar/scanner/scanned_records.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

// The graph file as it stands, with what its index says of it. The records and the
// file's bytes are read only when a file changed.
class StandingGraph {
 public:
  StandingGraph(fs::path path, std::shared_ptr<const text::FileDescriptor> file,
                index::GraphIndex index, TreeSnapshot snapshot)
      : path_(std::move(path)),
        file_(std::move(file)),
        index_(std::move(index)),
        snapshot_(std::move(snapshot)) {}

  const index::GraphIndex& index() const { return index_; }
  const std::shared_ptr<const text::FileDescriptor>& file() const { return file_; }
  index::GraphIndex take_index() { return std::move(index_); }
  const TreeSnapshot& snapshot() const { return snapshot_; }
  std::vector<std::size_t> first_node;  // per snapshot file: its first node and edge
  std::vector<std::size_t> first_edge;

  const index::GraphRecords& records() {
    if (!records_) {
      records_ = index_.records();
      if (!records_) throw Error("the graph index changed while being read");
    }
    return *records_;
  }

  std::string_view text(const index::GraphSpan& span) {
    if (!bytes_) {
      bytes_ = platform::PaddedFile::read(file_->get(), 0, path_);
    }
    return std::string_view(bytes_->data(), bytes_->size()).substr(span.offset, span.length);
  }

 private:
  fs::path path_;
  std::shared_ptr<const text::FileDescriptor> file_;
  index::GraphIndex index_;
  TreeSnapshot snapshot_;
  std::optional<index::GraphRecords> records_;
  std::optional<platform::PaddedFile> bytes_;
};

// Where each snapshot file's nodes and edges start; false when the counts do not add up
// to the records.
bool locate_files(StandingGraph& graph) {
  std::size_t nodes = 0;
  std::size_t edges = 0;
  for (const SnapshotFile& file : graph.snapshot().files) {
    graph.first_node.push_back(nodes);
    graph.first_edge.push_back(edges);
    nodes += file.node_count;
    edges += file.edge_count;
  }
  return nodes == graph.index().node_count() && edges == graph.index().edge_count();
}

std::optional<StandingGraph> open_standing(const fs::path& graph_file, RefreshMode mode) {
  auto fd = std::make_shared<const text::FileDescriptor>(
      ::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd->get() < 0) return std::nullopt;
  auto index = index::GraphIndex::open(index::graph_index_path(graph_file), fd->get());
  if (!index) return std::nullopt;
  const auto section = index->section(index::format::SectionKind::snapshot);
  auto snapshot = section ? read_snapshot(*section) : std::nullopt;
  if (!snapshot || !snapshot->distinct_ids ||
      (mode == RefreshMode::full_scan && !snapshot->fresh)) {
    return std::nullopt;
  }
  StandingGraph graph(graph_file, std::move(fd), std::move(*index), std::move(*snapshot));
  if (!locate_files(graph)) return std::nullopt;
  return graph;
}

// A file the walk finds now, and what becomes of it. Paths stay text: most files are
// only looked at through their status.
struct Candidate {
  std::string_view path;                   // as walked
  std::string_view resolved;               // its resolved location
  const SnapshotFile* previous = nullptr;  // the file at this path in the snapshot
  std::size_t previous_index = 0;
  std::optional<text::FileStatus> status;
  FileOutcome outcome = FileOutcome::skipped;
  bool reused = false;              // taken over from the graph as it stands
  std::optional<FileScan> scanned;  // read again
};

bool directories_unchanged(const TreeSnapshot& snapshot) {
  for (const SnapshotDirectory& directory : snapshot.directories) {
    if (!snapshot.settled(directory.status) ||
        text::file_status(std::string(directory.path).c_str()) != directory.status) {
      return false;
    }
  }
  return true;
}

// The files of the tree now, each with the snapshot's entry for its path, and the
// directories; `rewalked` tells whether the tree had to be walked again.
std::vector<Candidate> current_files(const TreeSnapshot& snapshot, const fs::path& root,
                                     std::vector<SnapshotDirectory>& directories, bool& rewalked,
                                     text::TextArena& storage) {
  std::vector<Candidate> files;
  rewalked = !directories_unchanged(snapshot);
  if (!rewalked) {
    directories = snapshot.directories;
    for (std::size_t i = 0; i < snapshot.files.size(); ++i) {
      const SnapshotFile& file = snapshot.files[i];
      files.push_back({file.path, file.resolved, &file, i, {}, {}, false, {}});
    }
    return files;
  }
  std::unordered_map<std::string_view, std::size_t> by_path;
  for (std::size_t i = 0; i < snapshot.files.size(); ++i) by_path[snapshot.files[i].path] = i;
  WalkedTree tree = walk_tree(root);
  for (WalkedDirectory& directory : tree.directories) {
    directories.push_back({storage.keep(directory.path), directory.status});
  }
  for (const WalkedFile& walked : tree.files) {
    const auto found = by_path.find(walked.path);
    const SnapshotFile* previous =
        found == by_path.end() ? nullptr : &snapshot.files[found->second];
    const std::size_t index = found == by_path.end() ? 0 : found->second;
    files.push_back({storage.keep(walked.path),
                     storage.keep(walked.resolved),
                     previous,
                     index,
                     {},
                     {},
                     false,
                     {}});
  }
  return files;
}

// Decides which files keep what the graph has of them.
void classify(std::vector<Candidate>& files, const TreeSnapshot& snapshot,
              const std::set<fs::path>& excluded) {
  std::set<std::string> excluded_resolved;
  for (const fs::path& path : excluded) excluded_resolved.insert(text::resolve_path(path).string());
  for (Candidate& file : files) {
    file.status = text::file_status(std::string(file.path).c_str());
    if (excluded_resolved.count(std::string(file.resolved)) != 0) {
      file.outcome = FileOutcome::excluded;
      continue;
    }
    const SnapshotFile* previous = file.previous;
    if (previous != nullptr && previous->outcome != FileOutcome::excluded &&
        previous->status == file.status && snapshot.settled(previous->status)) {
      file.reused = true;
      file.outcome = previous->outcome;
    }
  }
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
    if (file.reused || file.outcome == FileOutcome::excluded) continue;
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
    if (file.reused || file.outcome == FileOutcome::excluded) continue;
    file.scanned = scanner.scan({std::string(file.path), std::string(file.resolved)});
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
    if (!file.reused && file.outcome != FileOutcome::excluded && !same_as_before(file, graph)) {
      return false;
    }
  }
  return true;
}

TreeSnapshot new_snapshot(const std::vector<Candidate>& files, StandingGraph& graph,
                          std::vector<SnapshotDirectory> directories, std::int64_t taken_ns) {
  TreeSnapshot snapshot;
  snapshot.root = graph.snapshot().root;
  snapshot.taken_ns = taken_ns;
  snapshot.fresh = graph.snapshot().fresh;
  snapshot.directories = std::move(directories);
  std::set<std::string_view> ids;
  for (const Candidate& file : files) {
    SnapshotFile entry;
    entry.path = file.path;
    entry.resolved = file.resolved;
    entry.outcome = file.outcome;
    if (file.reused) {
      entry.status = file.previous->status;
      entry.file_id = file.previous->file_id;
      entry.node_count = file.previous->node_count;
      entry.edge_count = file.previous->edge_count;
    } else {
      entry.status = file.status;
      if (file.scanned) {
        entry.file_id = file.scanned->file_id;
        entry.node_count = static_cast<std::uint32_t>(file.scanned->nodes.size());
        entry.edge_count = static_cast<std::uint32_t>(file.scanned->edges.size());
      }
    }
    if (entry.outcome == FileOutcome::scanned && !ids.insert(entry.file_id).second) {
      snapshot.distinct_ids = false;
    }
    snapshot.files.push_back(std::move(entry));
  }
  return snapshot;
}

// Counts of the graph for the report of a rescan.
RefreshResult counts_of(const index::GraphRecords& records, bool rewritten) {
  RefreshResult result;
  result.rewritten = rewritten;
  result.node_count = static_cast<std::int64_t>(records.nodes.size());
  for (const index::NodeRecord& node : records.nodes) {
    if (node.kind == "symbol") ++result.symbol_count;
  }
  result.edge_count = static_cast<std::int64_t>(records.edges.size());
  return result;
}

// The counts of the graph of `files`: every scanned file gives one file node and its
// symbols.
RefreshResult counts_of(const std::vector<Candidate>& files) {
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

// The term statistics of the graph being written. Files taken over keep the statistics
// they have in the index as it stands, so that only the files read again are split
// into words.
class StatsFeed {
 public:
  // Nothing when the index has no statistics of the graph as it stands.
  static std::optional<StatsFeed> of(const StandingGraph& graph) {
    const auto bytes = graph.index().section(index::format::SectionKind::term_stats);
    const auto stats = bytes ? index::TermStats::open(*bytes) : std::nullopt;
    auto counted = stats ? counted_files(*stats) : std::nullopt;
    if (!counted) return std::nullopt;
    StatsFeed feed;
    feed.file_of_node_.assign(graph.index().node_count(), index::NO_FILE);
    for (std::size_t f = 0; f < stats->file_count(); ++f) {
      if (stats->node(f) >= feed.file_of_node_.size()) return std::nullopt;
      feed.file_of_node_[stats->node(f)] = static_cast<std::uint32_t>(f);
    }
    feed.counted_ = std::move(*counted);
    return feed;
  }

  // The file whose nodes start at node `first` of the graph as it stands, `node_count`
  // nodes with its symbols.
  void reused_file(const index::NodeRecord& node, std::size_t first, std::size_t node_count) {
    const std::uint32_t file = file_of_node_[first];
    if (file == index::NO_FILE || node.kind != "file") {
      whole_ = false;
      return;
    }
    builder_.add_counted_file(node.id.text, counted_[file],
                              static_cast<std::uint32_t>(node_count - 1));
  }
  void scanned_node(const Json& node) { builder_.add_node(stats_node_of(node)); }
  void edge(std::string_view from, std::string_view to, std::string_view rel) {
    builder_.add_edge(from, to, rel);
  }
  // The section's bytes, when every file could be counted.
  std::optional<std::string> finish() {
    if (!whole_) return std::nullopt;
    return builder_.finish();
  }

 private:
  StatsFeed() = default;

  TermStatsBuilder builder_;
  std::vector<CountedFile> counted_;         // by file of the statistics as they stand
  std::vector<std::uint32_t> file_of_node_;  // index::NO_FILE for symbols
  bool whole_ = true;
};

// Streams the graph of `files` into `stream`, the objects of reused files copied from the
// graph as it stands, and gathers the records of the new index and, given `stats`, the
// term statistics. `observe` sees every symbol node.
void stream_graph(GraphStream& stream, const std::vector<Candidate>& files, StandingGraph& graph,
                  index::GraphRecords& records, StatsFeed* stats, const NodeObserver& observe) {
  const index::GraphRecords& old = graph.records();
  for (const Candidate& file : files) {
    if (file.outcome != FileOutcome::scanned) continue;
    if (file.reused) {
      const std::size_t first = graph.first_node[file.previous_index];
      if (stats != nullptr) stats->reused_file(old.nodes[first], first, file.previous->node_count);
      for (std::size_t i = first; i < first + file.previous->node_count; ++i) {
        const std::string_view object = graph.text(old.node_spans[i]);
        records.node_spans.push_back(stream.node(object));
        records.nodes.push_back(old.nodes[i]);
        if (observe && old.nodes[i].kind == "symbol") observe(text::parse_json(object));
      }
    } else {
      for (const Json& node : file.scanned->nodes) {
        records.node_spans.push_back(stream.node(node));
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
        records.edge_spans.push_back(stream.edge(graph.text(old.edge_spans[i])));
        const index::EdgeRecord& edge = records.edges.emplace_back(old.edges[i]);
        if (stats != nullptr) stats->edge(edge.from.text, edge.to.text, edge.rel);
      }
    } else {
      for (const Edge& edge : file.scanned->edges) {
        records.edge_spans.push_back(stream.edge(edge));
        index::prepare_edge(records.edges.emplace_back(record_of_edge(edge)), records.texts);
        if (stats != nullptr) stats->edge(edge.from, edge.to, edge.rel);
      }
    }
  }
  stream.finish();
}

// Writes the graph of `files` with its index.
RefreshResult rewrite_graph(const fs::path& graph_file, const std::vector<Candidate>& files,
                            StandingGraph& graph, const TreeSnapshot& snapshot,
                            const NodeObserver& observe) {
  RefreshResult result = counts_of(files);
  auto stats = StatsFeed::of(graph);
  index::GraphRecords records;
  text::ContentHasher hasher;
  std::uint64_t size = 0;
  text::write_file_atomically(graph_file, [&](const text::TextSink& emit) {
    const text::TextSink hashed = [&](std::string_view piece) {
      hasher.add(piece);
      size += piece.size();
      emit(piece);
    };
    GraphStream stream(hashed, snapshot.root, result.node_count, result.symbol_count,
                       static_cast<std::size_t>(result.edge_count));
    stream_graph(stream, files, graph, records, stats ? &*stats : nullptr, observe);
  });
  index::count_degrees(records);
  index::ExtraSections sections{{index::format::SectionKind::snapshot, snapshot_section(snapshot)}};
  // Without statistics of the graph as it stood, the hybrid ranking builds them when it
  // first needs them.
  if (auto bytes = stats ? stats->finish() : std::nullopt) {
    sections.emplace_back(index::format::SectionKind::term_stats, std::move(*bytes));
  }
  write_index_beside(graph_file, records, size, hasher.value(), sections);
  return result;
}

}  // namespace

std::optional<RefreshResult> refresh_graph_file(const fs::path& graph_file,
                                                const std::set<fs::path>& excluded,
                                                RefreshMode mode,
                                                const std::optional<fs::path>& root,
                                                const NodeObserver& observe) {
  const std::int64_t started = wall_clock_ns();
  auto graph = open_standing(graph_file, mode);
  if (!graph || (root && root->string() != graph->snapshot().root)) return std::nullopt;
  const fs::path tree_root = graph->snapshot().root;
  require_scan_root(tree_root);
  std::vector<SnapshotDirectory> directories;
  bool rewalked = false;
  text::TextArena storage;  // the texts of files and directories walked again
  std::vector<Candidate> files =
      current_files(graph->snapshot(), tree_root, directories, rewalked, storage);
  classify(files, graph->snapshot(), excluded);
  const ExistingNodes earlier = mode == RefreshMode::keep_analysis
                                    ? earlier_nodes(files, *graph, text::resolve_path(tree_root))
                                    : ExistingNodes{};
  read_changed_files(files, tree_root, earlier);
  TreeSnapshot snapshot = new_snapshot(files, *graph, std::move(directories), started);
  if (!snapshot.distinct_ids) return std::nullopt;
  const auto files_read =
      static_cast<std::size_t>(std::count_if(files.begin(), files.end(), [](const Candidate& file) {
        return !file.reused && file.outcome != FileOutcome::excluded;
      }));
  RefreshResult result;
  if (!graph_unchanged(files, *graph)) {
    result = rewrite_graph(graph_file, files, *graph, snapshot, observe);
  } else {
    // The same graph: only the snapshot learns the statuses of the files read again.
    if (files_read > 0 || rewalked) {
      index::ExtraSections sections{
          {index::format::SectionKind::snapshot, snapshot_section(snapshot)}};
      if (const auto stats = graph->index().section(index::format::SectionKind::term_stats)) {
        sections.emplace_back(index::format::SectionKind::term_stats, std::string(*stats));
      }
      index::write_graph_index(index::graph_index_path(graph_file), graph->records(),
                               graph->index().graph(), sections);
    }
    result = counts_of(graph->records(), false);
    result.index = graph->take_index();
    result.graph_file = graph->file();
  }
  result.files_read = files_read;
  return result;
}

}  // namespace plinthar::scanner

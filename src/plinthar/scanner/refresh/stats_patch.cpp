#include "plinthar/scanner/refresh/stats_patch.hpp"

#include <deque>
#include <memory>
#include <utility>

#include <absl/container/flat_hash_map.h>

#include "plinthar/index/term_stats_patch.hpp"
#include "plinthar/scanner/stats/edge_targets.hpp"
#include "plinthar/scanner/stats/file_terms.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::scanner {
namespace {

// Numbers of the snapshot's scanned files, which are the statistics' files in order.
std::vector<std::size_t> scanned_in_snapshot(const TreeSnapshot& snapshot) {
  std::vector<std::size_t> scanned;
  for (std::size_t i = 0; i < snapshot.files.size(); ++i) {
    if (snapshot.files[i].outcome == FileOutcome::scanned) scanned.push_back(i);
  }
  return scanned;
}

// The terms the graph as it stands holds of the snapshot file `at`, counted again from
// its nodes there.
FileTerms terms_as_they_stand(StandingGraph& graph, std::size_t at, text::WordSplitter& splitter) {
  const SnapshotFile& file = graph.snapshot().files[at];
  std::vector<text::Json> nodes;
  nodes.reserve(file.node_count);
  for (std::size_t i = 0; i < file.node_count; ++i) {
    const auto& span = graph.records().node_spans[graph.first_node[at] + i];
    nodes.push_back(text::parse_json(graph.text(span)));
  }
  return count_file_terms(nodes, splitter);
}

index::TermCounts views_of(const FileTerms& terms) {
  index::TermCounts views;
  views.reserve(terms.terms.size());
  for (const auto& [term, count] : terms.terms) views.emplace_back(term, count);
  return views;
}

using EarlierTargets =
    absl::flat_hash_map<std::pair<std::string_view, std::string_view>, std::uint32_t>;

// Edge ends of the files read again, resolved against every file's id.
class ChangedEdges {
 public:
  ChangedEdges(const TreeSnapshot& snapshot, const std::vector<std::size_t>& scanned) {
    for (const std::size_t at : scanned) ids_.push_back(snapshot.files[at].file_id);
  }

  // The ends of the edges of file number `file` read again, whose id is `id`; `earlier`
  // are the targets its edges had, by "to" and "rel": with the same files, an edge that
  // stayed has the target it had, and only new ones are resolved. False when an edge does
  // not start at that file.
  bool add(const std::vector<Edge>& edges, std::uint32_t file, std::string_view id,
           const EarlierTargets& earlier) {
    for (const Edge& edge : edges) {
      if (edge.from != id) return false;
      from.push_back(file);
      target.push_back(target_of(edge, earlier));
    }
    return true;
  }

  std::vector<std::uint32_t> from;
  std::vector<std::uint32_t> target;

 private:
  std::uint32_t target_of(const Edge& edge, const EarlierTargets& earlier) {
    if (edge.rel == "contains") return index::NO_FILE;
    const auto found = earlier.find({edge.to, edge.rel});
    if (found != earlier.end()) return found->second;
    if (!targets_) targets_ = std::make_unique<EdgeTargets>(ids_);
    return targets_->resolve(edge.from, edge.to, edge.rel).value_or(index::NO_FILE);
  }

  std::vector<std::string_view> ids_;
  std::unique_ptr<EdgeTargets> targets_;  // built when first needed
};

// The targets of the edges of snapshot file `at` in the graph as it stands.
EarlierTargets earlier_targets(StandingGraph& graph, std::size_t at, const index::TermStats& old) {
  EarlierTargets targets;
  const std::size_t first = graph.first_edge[at];
  for (std::size_t e = first; e < first + graph.snapshot().files[at].edge_count; ++e) {
    const index::EdgeRecord& edge = graph.records().edges[e];
    targets.emplace(std::pair{edge.to.text, edge.rel}, old.edge_target(e));
  }
  return targets;
}

}  // namespace

std::optional<std::string> patched_stats(const std::vector<Candidate>& files,
                                         StandingGraph& graph) {
  const auto bytes = graph.index().section(index::SectionKind::term_stats);
  const auto old = bytes ? index::TermStats::open(*bytes) : std::nullopt;
  if (!old) return std::nullopt;
  const std::vector<std::size_t> scanned = scanned_in_snapshot(graph.snapshot());
  if (scanned.size() != old->file_count()) return std::nullopt;
  ChangedEdges edges(graph.snapshot(), scanned);
  edges.from.reserve(old->edge_count());
  edges.target.reserve(old->edge_count());
  std::vector<index::ChangedFile> changed;
  std::deque<FileTerms> counted;  // what `changed` views
  text::WordSplitter splitter;
  std::uint32_t number = 0;
  for (const Candidate& file : files) {
    if (file.outcome != FileOutcome::scanned) continue;
    if (number >= scanned.size() || file.previous == nullptr ||
        file.previous_index != scanned[number]) {
      return std::nullopt;
    }
    const SnapshotFile& before = *file.previous;
    if (file.reused) {
      const std::size_t first = graph.first_edge[file.previous_index];
      for (std::size_t e = first; e < first + before.edge_count; ++e) {
        edges.from.push_back(old->edge_from(e));
        edges.target.push_back(old->edge_target(e));
      }
    } else {
      const FileScan& scan = *file.scanned;
      if (scan.file_id != before.file_id) return std::nullopt;
      const FileTerms& then =
          counted.emplace_back(terms_as_they_stand(graph, file.previous_index, splitter));
      const FileTerms& now = counted.emplace_back(count_file_terms(scan.nodes, splitter));
      if (!then.counted || !now.counted) return std::nullopt;
      if (!edges.add(scan.edges, number, scan.file_id,
                     earlier_targets(graph, file.previous_index, *old))) {
        return std::nullopt;
      }
      changed.push_back({number, now.size, now.facts,
                         static_cast<std::int64_t>(scan.nodes.size()) - before.node_count,
                         views_of(then), views_of(now)});
    }
    ++number;
  }
  if (number != scanned.size()) return std::nullopt;
  return index::patched_term_stats(*old, changed, std::move(edges.from), std::move(edges.target));
}

}  // namespace plinthar::scanner

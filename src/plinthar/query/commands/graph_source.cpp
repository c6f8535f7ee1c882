#include "plinthar/query/commands/graph_source.hpp"

#include <algorithm>
#include <system_error>
#include <utility>

#include "plinthar/error.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/query/commands/background_work.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_lock.hpp"
#include "plinthar/text/file_status.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

namespace {

bool file_exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// The graph file itself never feeds a scan; the project of an installed crv is scanned
// without what its links lead to outside it.
scanner::ScanScope scope_of(const GraphPlace& place) {
  return {{place.graph_file}, place.root_fixed};
}

// A scan for a ranking that reads the term statistics counts them as it reads the files:
// building them from the graph text afterwards costs more.
scanner::TermStatsChoice term_stats_for(bool want_stats) {
  return want_stats ? scanner::TermStatsChoice::built : scanner::TermStatsChoice::left_to_ranking;
}

void write_first_graph(const GraphPlace& place, bool want_stats) {
  text::create_parent_directories(place.graph_file);
  scanner::write_graph_file(place.scan_root, place.graph_file, {}, scope_of(place), {}, {},
                            scanner::default_scan_jobs(), term_stats_for(want_stats));
}

// The root to scan a graph file anew from: the one it records, unless the root is fixed.
fs::path root_to_rescan(const GraphPlace& place) {
  if (place.root_fixed) return place.scan_root;
  const auto standing = open_graph_file(place.graph_file, place.links);
  return (standing ? recorded_root(*standing) : std::nullopt).value_or(place.scan_root);
}

// What a refresh left: the graph file open with its index when it found the graph as it
// stood, or that it left the work undone for being beyond its limits.
struct Refreshed {
  std::optional<CurrentGraph> standing;
  bool deferred = false;
  // The changed graph in memory, when the limits kept the graph file as it stands.
  std::shared_ptr<scanner::PendingGraph> pending;
};

// With `limits`, work beyond them (a full scan among it) is left undone.
Refreshed refresh_graph(const GraphPlace& place, bool want_stats,
                        const scanner::RefreshLimits* limits) {
  const fs::path& graph_file = place.graph_file;
  const auto fixed = place.root_fixed ? std::optional(place.scan_root) : std::nullopt;
  auto refreshed = scanner::refresh_graph_file(
      graph_file, scope_of(place), scanner::RefreshMode::full_scan, fixed, {},
      limits != nullptr ? *limits : scanner::RefreshLimits{});
  if (refreshed && refreshed->deferred) return {std::nullopt, true, nullptr};
  if (refreshed && refreshed->pending) return {std::nullopt, false, std::move(refreshed->pending)};
  if (refreshed && refreshed->index) {
    return {
        CurrentGraph{OpenGraphFile{graph_file, refreshed->graph_file}, std::move(refreshed->index)},
        false, nullptr};
  }
  if (!refreshed) {
    if (limits != nullptr) return {std::nullopt, true, nullptr};  // a full scan
    scanner::write_graph_file(root_to_rescan(place), graph_file, {}, scope_of(place), {}, {},
                              scanner::default_scan_jobs(), term_stats_for(want_stats));
  }
  return {};
}

OpenGraphFile open_existing(const GraphPlace& place) {
  const fs::path& graph_file = place.graph_file;
  if (auto file = open_graph_file(graph_file, place.links)) return std::move(*file);
  throw Error("cannot read " + graph_file.string() + ": " +
              std::make_error_code(std::errc::no_such_file_or_directory).message());
}

CurrentGraph open_current(const GraphPlace& place) {
  CurrentGraph current{open_existing(place), std::nullopt};
  current.index =
      index::GraphIndex::open(index::graph_index_path(place.graph_file), current.file.fd->get());
  return current;
}

bool has_term_stats(const CurrentGraph& current) {
  return current.index && current.index->section(index::SectionKind::term_stats);
}

// The graph brought up to date within `deferral`: open as it stands, or changed in memory
// with its file left to rewrite; neither when that is work for the background.
struct Within {
  std::optional<CurrentGraph> current;
  std::shared_ptr<scanner::PendingGraph> pending;
};

Within current_within(const GraphPlace& place, bool refresh, bool want_stats,
                      const Deferral& deferral) {
  if (!file_exists(place.graph_file)) return {};
  std::optional<CurrentGraph> current;
  if (refresh) {
    Refreshed refreshed = refresh_graph(place, want_stats, &deferral.limits);
    if (refreshed.deferred) return {};
    if (refreshed.pending) return {std::nullopt, std::move(refreshed.pending)};
    current = std::move(refreshed.standing);
  }
  if (!current) current = open_current(place);
  const bool stats_to_build =
      want_stats && !has_term_stats(*current) &&
      (!current->index || current->index->node_count() > deferral.most_nodes_for_stats);
  if (stats_to_build) return {};
  return {std::move(current), nullptr};
}

// The log of the background work beside the graph: in the data directory.
fs::path background_log(const fs::path& graph_file) {
  return graph_file.parent_path() / "background.log";
}

// The graph as it stands, when it can answer a ranking that wants the statistics or not.
std::optional<CurrentGraph> answerable_graph(const GraphPlace& place, bool want_stats) {
  if (!file_exists(place.graph_file)) return std::nullopt;
  CurrentGraph current = open_current(place);
  if (!current.index || (want_stats && !has_term_stats(current))) return std::nullopt;
  return current;
}

// The graph once the work in the background ended, or as it stands when it did not end
// within the wait and the graph has what the ranking needs.
LoadedGraph after_background_work(const GraphPlace& place, bool want_stats,
                                  const Deferral& deferral) {
  const fs::path& graph_file = place.graph_file;
  const fs::path work_lock = index::graph_work_lock_path(graph_file);
  const fs::path log = background_log(graph_file);
  text::create_parent_directories(graph_file);
  std::optional<CurrentGraph> standing = answerable_graph(place, want_stats);
  const auto wait =
      standing ? std::min(deferral.wait, deferral.wait_when_answerable) : deferral.wait;
  const bool ended =
      run_detached(work_lock, log, wait, [&] { graph_for_ranking(place, true, want_stats); });
  if (ended) return graph_for_ranking(place, false, want_stats);
  if (standing) return read_for_ranking(std::move(*standing), want_stats);
  throw Error("the graph of " + place.scan_root.string() +
              " is being brought up to date in the background; a later prompt gets its context");
}

// Starts the rewrite of the graph file of `place` in a process of its own, without
// waiting for it: the changed graph is in memory already. A worker that cannot start
// costs nothing now: the next prompt finds the same changes and starts one again.
void rewrite_in_background(const GraphPlace& place, bool want_stats) {
  const fs::path& graph_file = place.graph_file;
  try {
    run_detached(index::graph_work_lock_path(graph_file), background_log(graph_file),
                 std::chrono::milliseconds(0), [&] { current_graph(place, true, want_stats); });
  } catch (const Error&) {
  }
}

// Whether the graph file at `graph_file` is still the one `identity` describes.
bool still_standing(const fs::path& graph_file, const index::GraphIdentity& identity) {
  return text::file_status(graph_file) == identity.file;
}

// Writes what the next call would otherwise make again: the index of records read from
// the graph file's text, or the statistics added to the index they were missing from.
// Only when no writer holds the graph's lock, and only for the graph file that was read:
// a writer at work leaves an index of its own.
void write_index_for_next_call(const fs::path& graph_file, const LoadedGraph& graph) {
  const std::string* stats = graph.built_term_stats();
  const index::GraphIndex* current = graph.index();
  if (current ? stats == nullptr : !graph.text_identity()) return;
  const auto lock = text::FileLock::try_take(index::graph_lock_path(graph_file));
  const index::GraphIdentity read = current ? current->graph() : *graph.text_identity();
  if (!lock || !still_standing(graph_file, read)) return;
  const fs::path index_path = index::graph_index_path(graph_file);
  if (current) {
    index::replace_sections(index_path, *current, {{index::SectionKind::term_stats, *stats}});
    return;
  }
  index::ExtraSections extra;
  if (stats != nullptr) extra.emplace_back(index::SectionKind::term_stats, *stats);
  index::write_graph_index(index_path, graph.records(), read, extra);
}

}  // namespace

GraphPlace graph_place(const Locations& locations) {
  return {locations.graph_json, locations.default_root, locations.graph_of_default_root,
          locations.data_links};
}

CurrentGraph current_graph(const GraphPlace& place, bool refresh, bool want_stats) {
  if (!file_exists(place.graph_file)) {
    write_first_graph(place, want_stats);
  } else if (refresh) {
    if (auto refreshed = refresh_graph(place, want_stats, nullptr).standing) {
      return std::move(*refreshed);
    }
  }
  return open_current(place);
}

LoadedGraph read_for_ranking(CurrentGraph current, bool want_stats) {
  LoadedGraph graph = read_graph(current.file, std::move(current.index), want_stats);
  write_index_for_next_call(current.file.path, graph);
  return graph;
}

LoadedGraph graph_for_ranking(const GraphPlace& place, bool refresh, bool want_stats,
                              const Deferral* deferral) {
  if (deferral == nullptr) {
    return read_for_ranking(current_graph(place, refresh, want_stats), want_stats);
  }
  Within within = current_within(place, refresh, want_stats, *deferral);
  if (within.current) return read_for_ranking(std::move(*within.current), want_stats);
  if (within.pending) {
    if (auto graph = read_pending(std::move(within.pending), want_stats)) {
      rewrite_in_background(place, want_stats);
      return std::move(*graph);
    }
  }
  return after_background_work(place, want_stats, *deferral);
}

}  // namespace plinthar::query

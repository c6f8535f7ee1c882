#pragma once

// A snapshot of the tree a graph was scanned from: every directory the walk listed and
// every file it found, with the status fields that tell a change and what each file
// became in the graph. Kept in the graph index, it lets a refresh re-read only the files
// that changed since.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/file_status.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::scanner {

// Statuses changed this close to the snapshot's time are not trusted: the file system's
// clock ticks coarsely, so a change made just after a file was read can keep the status
// it had when it was read.
inline constexpr std::int64_t RACY_NANOSECONDS = 50'000'000;

// A time without a fraction of a second most likely comes from a file system that keeps
// whole seconds (ext4 with small inodes, ext3, network mounts) or two (FAT): a file
// rewritten later within that tick keeps its time, so such a time is trusted only once
// two more seconds have passed.
inline constexpr std::int64_t COARSE_TICK_NANOSECONDS = 2'000'000'000;

// How long after `time_ns` a status holding it can still change unseen.
constexpr std::int64_t racy_window_after(std::int64_t time_ns) {
  return time_ns % 1'000'000'000 == 0 ? RACY_NANOSECONDS + COARSE_TICK_NANOSECONDS
                                      : RACY_NANOSECONDS;
}

// Texts of a snapshot are views: of the index section it was read from, or of the
// snapshot's own storage.
struct SnapshotDirectory {
  std::string_view path;  // as walked
  std::optional<text::FileStatus> status;
};

struct SnapshotFile {
  std::string_view path;      // as walked
  std::string_view resolved;  // its resolved location
  std::optional<text::FileStatus> status;
  FileOutcome outcome = FileOutcome::skipped;
  std::string_view file_id;      // for a scanned file
  std::uint32_t node_count = 0;  // its nodes in the graph, in order after the earlier files'
  std::uint32_t edge_count = 0;  // likewise for its edges
};

struct TreeSnapshot {
  std::string root;           // the root as scanned: the graph's "root"
  std::int64_t taken_ns = 0;  // when the scan started (wall clock, nanoseconds)
  // Every node is what a fresh scan of its file gives (no analysis kept from an earlier
  // graph of unknown origin).
  bool fresh = true;
  // No two scanned files share an id, so each file's nodes and edges stand together.
  bool distinct_ids = true;
  std::vector<SnapshotDirectory> directories;
  std::vector<SnapshotFile> files;
  text::TextArena storage;  // texts this snapshot made itself

  // Whether `status`, recorded in this snapshot, can be trusted to change with the file
  // (or directory).
  bool settled(const std::optional<text::FileStatus>& status) const {
    return status && status->mtime_ns + racy_window_after(status->mtime_ns) < taken_ns &&
           status->ctime_ns + racy_window_after(status->ctime_ns) < taken_ns;
  }
};

// The wall clock now, in nanoseconds since the epoch.
std::int64_t wall_clock_ns();

// Records what a scan walked into a snapshot: pass observer() to scan_nodes.
class SnapshotRecorder {
 public:
  SnapshotRecorder(std::string root, bool fresh);

  ScanObserver observer();
  TreeSnapshot take() &&;

 private:
  TreeSnapshot snapshot_;
  std::vector<std::string> ids_;
};

// The snapshot as the bytes of its index section, and back (viewing into `section`, which
// must outlive it); nothing for bytes that do not hold one.
std::string snapshot_section(const TreeSnapshot& snapshot);
std::optional<TreeSnapshot> read_snapshot(std::string_view section);

}  // namespace plinthar::scanner

#pragma once

// Comparing the tree with the snapshot a graph was scanned from: which files are there
// now, which keep what the graph has of them (their status is the one recorded, and
// settled), and which must be read again. A directory whose status is unchanged has the
// same entries, so the tree is walked again only when a directory changed.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/tree_snapshot.hpp"
#include "plinthar/text/file_status.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::scanner {

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

// The tree now against `snapshot`.
struct TreeDiff {
  std::vector<Candidate> files;  // in walk order, each with the snapshot's entry for its path
  std::vector<SnapshotDirectory> directories;
  bool rewalked = false;    // whether the tree had to be walked again
  text::TextArena storage;  // the texts of files and directories walked again
};

// The files of the tree under `root` that `snapshot` describes, each classified: files
// that `scope` leaves out as excluded, files that keep their snapshot
// entry as reused. Nothing is read but statuses and directory entries.
TreeDiff diff_tree(const TreeSnapshot& snapshot, const std::filesystem::path& root,
                   const ScanScope& scope);

// The snapshot of the tree after the files of `diff` were read again (their `scanned`
// or outcome filled), taken at `taken_ns`; `previous` gives the root and the entries of
// the reused files.
TreeSnapshot snapshot_after(const TreeDiff& diff, const TreeSnapshot& previous,
                            std::int64_t taken_ns);

}  // namespace plinthar::scanner

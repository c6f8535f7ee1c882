#include "plinthar/scanner/refresh/tree_diff.hpp"

#include <algorithm>
#include <string>
#include <thread>
#include <unordered_map>

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

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

// Files per thread below which taking the statuses on more threads does not pay.
constexpr std::size_t FILES_PER_STATUS_JOB = 2048;

// Takes the status of every file, on several threads for a large tree: each status is a
// system call of its own, and on two cores two threads take a tree of 100,000 files in
// about half the time.
void take_statuses(std::vector<Candidate>& files) {
  const std::size_t jobs =
      std::min(default_scan_jobs(), std::max<std::size_t>(1, files.size() / FILES_PER_STATUS_JOB));
  const std::size_t share = (files.size() + jobs - 1) / jobs;
  const auto take = [&files, share](std::size_t job) {
    std::string path;
    const std::size_t end = std::min(files.size(), (job + 1) * share);
    for (std::size_t i = job * share; i < end; ++i) {
      path.assign(files[i].path);
      files[i].status = text::file_status(path.c_str());
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t job = 1; job < jobs; ++job) threads.emplace_back(take, job);
  take(0);
  for (std::thread& thread : threads) thread.join();
}

// Decides which files keep what the graph has of them.
void classify(std::vector<Candidate>& files, const TreeSnapshot& snapshot,
              const ScopeTest& scope_test) {
  take_statuses(files);
  for (Candidate& file : files) {
    if (scope_test.leaves_out(file.resolved)) {
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

}  // namespace

TreeDiff diff_tree(const TreeSnapshot& snapshot, const fs::path& root, const ScanScope& scope) {
  TreeDiff diff;
  diff.files = current_files(snapshot, root, diff.directories, diff.rewalked, diff.storage);
  classify(diff.files, snapshot, ScopeTest(scope, root));
  return diff;
}

TreeSnapshot snapshot_after(const TreeDiff& diff, const TreeSnapshot& previous,
                            std::int64_t taken_ns) {
  TreeSnapshot snapshot;
  snapshot.root = previous.root;
  snapshot.taken_ns = taken_ns;
  snapshot.fresh = previous.fresh;
  snapshot.directories = diff.directories;
  std::set<std::string_view> ids;
  for (const Candidate& file : diff.files) {
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

}  // namespace plinthar::scanner

#include "plinthar/scanner/tree_snapshot.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "plinthar/index/byte_reader.hpp"
#include "plinthar/index/byte_writer.hpp"

namespace plinthar::scanner {
namespace {

constexpr std::uint32_t FRESH = 1;
constexpr std::uint32_t DISTINCT_IDS = 2;

void put_status(index::ByteWriter& out, const std::optional<text::FileStatus>& status) {
  out.put(static_cast<std::uint32_t>(status.has_value()));
  out.put(status.value_or(text::FileStatus{}));
}

bool get_status(index::ByteReader& in, std::optional<text::FileStatus>& status) {
  std::uint32_t present = 0;
  text::FileStatus value;
  if (!in.get(present) || !in.get(value)) return false;
  status = present != 0 ? std::optional(value) : std::nullopt;
  return true;
}

bool read_file_entry(index::ByteReader& in, SnapshotFile& file) {
  std::uint32_t outcome = 0;
  if (!in.get_text(file.path) || !in.get_text(file.resolved) || !get_status(in, file.status) ||
      !in.get(outcome) || !in.get_text(file.file_id) || !in.get(file.node_count) ||
      !in.get(file.edge_count) || outcome > static_cast<std::uint32_t>(FileOutcome::excluded)) {
    return false;
  }
  file.outcome = static_cast<FileOutcome>(outcome);
  return true;
}

}  // namespace

std::int64_t wall_clock_ns() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

SnapshotRecorder::SnapshotRecorder(std::string root, bool fresh) {
  snapshot_.root = std::move(root);
  snapshot_.taken_ns = wall_clock_ns();
  snapshot_.fresh = fresh;
}

ScanObserver SnapshotRecorder::observer() {
  ScanObserver observer;
  observer.on_directory = [this](const WalkedDirectory& directory) {
    snapshot_.directories.push_back({snapshot_.storage.keep(directory.path), directory.status});
  };
  observer.on_file = [this](const ScannedFile& seen) {
    SnapshotFile file;
    file.path = snapshot_.storage.keep(seen.walked->path);
    file.resolved = snapshot_.storage.keep(seen.walked->resolved);
    file.status = seen.status;
    file.outcome = seen.outcome;
    file.file_id = snapshot_.storage.keep(seen.file_id);
    file.node_count = static_cast<std::uint32_t>(seen.node_count);
    file.edge_count = static_cast<std::uint32_t>(seen.edge_count);
    if (seen.outcome == FileOutcome::scanned) ids_.push_back(seen.file_id);
    snapshot_.files.push_back(std::move(file));
  };
  return observer;
}

TreeSnapshot SnapshotRecorder::take() && {
  // Files of one id share their edges in the graph, so the snapshot cannot tell theirs apart.
  std::sort(ids_.begin(), ids_.end());
  snapshot_.distinct_ids = std::adjacent_find(ids_.begin(), ids_.end()) == ids_.end();
  return std::move(snapshot_);
}

std::string snapshot_section(const TreeSnapshot& snapshot) {
  index::ByteWriter out;
  out.put_text(snapshot.root);
  out.put(snapshot.taken_ns);
  out.put((snapshot.fresh ? FRESH : 0u) | (snapshot.distinct_ids ? DISTINCT_IDS : 0u));
  out.put(static_cast<std::uint32_t>(snapshot.directories.size()));
  for (const SnapshotDirectory& directory : snapshot.directories) {
    out.put_text(directory.path);
    put_status(out, directory.status);
  }
  out.put(static_cast<std::uint32_t>(snapshot.files.size()));
  for (const SnapshotFile& file : snapshot.files) {
    out.put_text(file.path);
    out.put_text(file.resolved);
    put_status(out, file.status);
    out.put(static_cast<std::uint32_t>(file.outcome));
    out.put_text(file.file_id);
    out.put(file.node_count);
    out.put(file.edge_count);
  }
  return std::move(out).take();
}

std::optional<TreeSnapshot> read_snapshot(std::string_view section) {
  index::ByteReader in(section);
  TreeSnapshot snapshot;
  std::uint32_t flags = 0;
  std::uint32_t count = 0;
  std::string_view root;
  if (!in.get_text(root) || !in.get(snapshot.taken_ns) || !in.get(flags) || !in.get(count)) {
    return std::nullopt;
  }
  snapshot.root = root;
  snapshot.fresh = (flags & FRESH) != 0;
  snapshot.distinct_ids = (flags & DISTINCT_IDS) != 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    SnapshotDirectory& directory = snapshot.directories.emplace_back();
    if (!in.get_text(directory.path) || !get_status(in, directory.status)) return std::nullopt;
  }
  if (!in.get(count)) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!read_file_entry(in, snapshot.files.emplace_back())) return std::nullopt;
  }
  if (!in.done()) return std::nullopt;
  return snapshot;
}

}  // namespace plinthar::scanner

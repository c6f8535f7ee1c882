#include "plinthar/scanner/refresh/tree_snapshot.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace plinthar::scanner {
namespace {

constexpr std::uint32_t FRESH = 1;
constexpr std::uint32_t DISTINCT_IDS = 2;

// Fixed-width fields and length-prefixed texts, in the machine's own byte order (the
// index as a whole is refused on a machine of another order).
class Writer {
 public:
  template <typename T>
  void put(const T& value) {
    out_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void put_text(std::string_view text) {
    put(static_cast<std::uint32_t>(text.size()));
    out_.append(text);
  }
  void put_status(const std::optional<text::FileStatus>& status) {
    put(static_cast<std::uint32_t>(status.has_value()));
    put(status.value_or(text::FileStatus{}));
  }
  std::string take() && { return std::move(out_); }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  template <typename T>
  bool get(T& value) {
    if (bytes_.size() < sizeof value) return false;
    std::memcpy(&value, bytes_.data(), sizeof value);
    bytes_.remove_prefix(sizeof value);
    return true;
  }
  bool get_text(std::string_view& text) {
    std::uint32_t size = 0;
    if (!get(size) || bytes_.size() < size) return false;
    text = bytes_.substr(0, size);
    bytes_.remove_prefix(size);
    return true;
  }
  bool get_status(std::optional<text::FileStatus>& status) {
    std::uint32_t present = 0;
    text::FileStatus value;
    if (!get(present) || !get(value)) return false;
    status = present != 0 ? std::optional(value) : std::nullopt;
    return true;
  }
  bool done() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

bool read_file_entry(Reader& in, SnapshotFile& file) {
  std::uint32_t outcome = 0;
  if (!in.get_text(file.path) || !in.get_text(file.resolved) || !in.get_status(file.status) ||
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
  Writer out;
  out.put_text(snapshot.root);
  out.put(snapshot.taken_ns);
  out.put((snapshot.fresh ? FRESH : 0u) | (snapshot.distinct_ids ? DISTINCT_IDS : 0u));
  out.put(static_cast<std::uint32_t>(snapshot.directories.size()));
  for (const SnapshotDirectory& directory : snapshot.directories) {
    out.put_text(directory.path);
    out.put_status(directory.status);
  }
  out.put(static_cast<std::uint32_t>(snapshot.files.size()));
  for (const SnapshotFile& file : snapshot.files) {
    out.put_text(file.path);
    out.put_text(file.resolved);
    out.put_status(file.status);
    out.put(static_cast<std::uint32_t>(file.outcome));
    out.put_text(file.file_id);
    out.put(file.node_count);
    out.put(file.edge_count);
  }
  return std::move(out).take();
}

std::optional<TreeSnapshot> read_snapshot(std::string_view section) {
  Reader in(section);
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
    if (!in.get_text(directory.path) || !in.get_status(directory.status)) return std::nullopt;
  }
  if (!in.get(count)) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!read_file_entry(in, snapshot.files.emplace_back())) return std::nullopt;
  }
  if (!in.done()) return std::nullopt;
  return snapshot;
}

}  // namespace plinthar::scanner

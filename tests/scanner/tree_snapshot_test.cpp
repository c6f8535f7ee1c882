#include "plinthar/scanner/tree_snapshot.hpp"

#include <string>

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

TreeSnapshot sample_snapshot() {
  TreeSnapshot snapshot;
  snapshot.root = "/p\nq";
  snapshot.taken_ns = 1'700'000'000'123'456'789;
  snapshot.fresh = false;
  snapshot.directories = {{"/p", text::FileStatus{4096, 7, 1, 10, 11}}, {"/p/gone", std::nullopt}};
  snapshot.files = {
      {"/p/a.py", "/p/a.py", text::FileStatus{12, 8, 1, 20, 21}, FileOutcome::scanned, "a.py", 3,
       2},
      {"/p/link.md", "/elsewhere/b.md", std::nullopt, FileOutcome::skipped, "", 0, 0},
      {"/p/out.json", "/p/out.json", text::FileStatus{}, FileOutcome::excluded, "", 0, 0}};
  return snapshot;
}

std::string dump(const TreeSnapshot& snapshot) {
  std::string out = snapshot.root + "|" + std::to_string(snapshot.taken_ns) + "|" +
                    (snapshot.fresh ? "fresh" : "kept") +
                    (snapshot.distinct_ids ? "|distinct" : "");
  const auto status = [](const std::optional<text::FileStatus>& s) {
    return s ? std::to_string(s->size) + "/" + std::to_string(s->inode) + "/" +
                   std::to_string(s->mtime_ns) + "/" + std::to_string(s->ctime_ns)
             : std::string("none");
  };
  for (const SnapshotDirectory& d : snapshot.directories)
    out += "\nd " + std::string(d.path) + " " + status(d.status);
  for (const SnapshotFile& f : snapshot.files) {
    out += "\nf " + std::string(f.path) + " " + std::string(f.resolved) + " " + status(f.status) +
           " " + std::to_string(static_cast<int>(f.outcome)) + " " + std::string(f.file_id) + " " +
           std::to_string(f.node_count) + " " + std::to_string(f.edge_count);
  }
  return out;
}

TEST(TreeSnapshot, ReadsBackWhatItWrote) {
  const TreeSnapshot snapshot = sample_snapshot();
  const std::string section = snapshot_section(snapshot);
  const auto read = read_snapshot(section);
  ASSERT_TRUE(read);
  EXPECT_EQ(dump(*read), dump(snapshot));
  EXPECT_EQ(snapshot_section(*read), section);
}

TEST(TreeSnapshot, RefusesBytesThatHoldNoWholeSnapshot) {
  const std::string section = snapshot_section(sample_snapshot());
  for (std::size_t length = 0; length < section.size(); ++length) {
    EXPECT_FALSE(read_snapshot(section.substr(0, length))) << "cut at " << length;
  }
  EXPECT_FALSE(read_snapshot(section + "x"));
  std::string bad_outcome = section;
  // The first file's outcome follows its resolved location and its status (a presence
  // word and the five fields); make it out of range.
  const std::size_t resolved = section.find("/p/a.py", section.find("/p/a.py") + 1);
  bad_outcome[resolved + 7 + 4 + sizeof(text::FileStatus)] = 9;
  EXPECT_FALSE(read_snapshot(bad_outcome));
}

// A status is trusted once its file could not have changed unseen since: 50 ms after its
// times on a file system with fine times, two seconds more after whole-second ones (a
// file rewritten within the same second keeps its time there).
TEST(TreeSnapshot, TrustsStatusesOnlyPastTheFileSystemsTick) {
  constexpr std::int64_t SECOND = 1'000'000'000;
  constexpr std::int64_t T = 1'700'000'000 * SECOND;
  const struct {
    std::int64_t mtime_ns;
    std::int64_t ctime_ns;
    std::int64_t taken_ns;
    bool settled;
  } cases[] = {
      {T + 300'000'000, T + 300'000'000, T + 400'000'000, true},
      {T + 300'000'000, T + 300'000'000, T + 320'000'000, false},
      {T + 300'000'000, T + 380'000'000, T + 400'000'000, false},
      {T, T, T + 950'000'000, false},  // whole seconds: the same second
      {T, T, T + 2 * SECOND, false},   // a FAT tick later
      {T, T, T + 3 * SECOND, true},
      {T, T + 7, T + 950'000'000, false},  // mtime whole, ctime fine
  };
  for (const auto& c : cases) {
    TreeSnapshot snapshot;
    snapshot.taken_ns = c.taken_ns;
    EXPECT_EQ(snapshot.settled(text::FileStatus{1, 2, 3, c.mtime_ns, c.ctime_ns}), c.settled)
        << c.mtime_ns - T << " " << c.ctime_ns - T << " " << c.taken_ns - T;
  }
  EXPECT_FALSE(TreeSnapshot{}.settled(std::nullopt));
}

}  // namespace
}  // namespace plinthar::scanner

#include "plinthar/scanner/refresh/tree_diff.hpp"

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/file_io.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {
namespace {

namespace fs = std::filesystem;

class TreeDiffTest : public ::testing::Test {
 protected:
  TreeDiffTest() {
    dir_.write("proj/a.py", "import os\n");
    dir_.write("proj/b.py", "import sys\n");
    dir_.write("proj/docs/c.md", "# C\n");
    // Statuses this close to the scan are not trusted; let them settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    write_graph_file(root_, graph_, {}, {});
  }

  TreeSnapshot snapshot() {
    const text::FileDescriptor fd(::open(graph_.c_str(), O_RDONLY));
    index_ = index::GraphIndex::open(index::graph_index_path(graph_), fd.get());
    auto read = read_snapshot(*index_->section(index::SectionKind::snapshot));
    return std::move(*read);
  }

  // What became of each file the diff found, by its path below the root.
  static std::map<std::string, std::string> outcomes(const TreeDiff& diff, const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const Candidate& file : diff.files) {
      const std::string what = file.outcome == FileOutcome::excluded ? "excluded"
                               : file.reused                         ? "reused"
                               : file.previous == nullptr            ? "new"
                                                                     : "changed";
      out[fs::path(file.path).lexically_relative(root).string()] = what;
    }
    return out;
  }

  testing::TempDir dir_;
  fs::path root_ = text::resolve_path(dir_ / "proj");
  fs::path graph_ = dir_ / "info_graph.json";
  std::optional<index::GraphIndex> index_;
};

TEST_F(TreeDiffTest, ALargeTreesStatusesAreAllTakenOnSeveralThreads) {
  // Enough files that the statuses are taken on several threads: each file is still
  // judged by its own status, whichever thread took it.
  constexpr int FILES = 4200;
  for (int i = 0; i < FILES; ++i) dir_.write("proj/many/f" + std::to_string(i) + ".md", "x\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  write_graph_file(root_, graph_, {}, {});
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const std::vector<int> edited = {0, 2099, 2100, 4199};
  for (const int i : edited) dir_.write("proj/many/f" + std::to_string(i) + ".md", "longer\n");
  const TreeDiff diff = diff_tree(snapshot(), root_, {});
  const auto seen = outcomes(diff, root_);
  ASSERT_EQ(seen.size(), FILES + 3u);
  int changed = 0;
  for (const Candidate& file : diff.files) {
    ASSERT_TRUE(file.status.has_value()) << file.path;
    if (!file.reused) ++changed;
  }
  EXPECT_EQ(changed, static_cast<int>(edited.size()));
  for (const int i : edited) EXPECT_EQ(seen.at("many/f" + std::to_string(i) + ".md"), "changed");
}

TEST_F(TreeDiffTest, AnUnchangedTreeIsTakenOverWithoutAWalk) {
  const TreeSnapshot before = snapshot();
  const TreeDiff diff = diff_tree(before, root_, {});
  EXPECT_FALSE(diff.rewalked);
  const std::map<std::string, std::string> all_reused = {
      {"a.py", "reused"}, {"b.py", "reused"}, {"docs/c.md", "reused"}};
  EXPECT_EQ(outcomes(diff, root_), all_reused);
}

TEST_F(TreeDiffTest, ChangedNewRemovedAndExcludedFilesAreTold) {
  const TreeSnapshot before = snapshot();
  dir_.write("proj/b.py", "import sys, re\n");
  dir_.write("proj/d.py", "x = 1\n");
  fs::remove(dir_ / "proj/docs/c.md");
  const TreeDiff diff = diff_tree(before, root_, {root_ / "a.py"});
  EXPECT_TRUE(diff.rewalked);
  const std::map<std::string, std::string> expected = {
      {"a.py", "excluded"}, {"b.py", "changed"}, {"d.py", "new"}};
  EXPECT_EQ(outcomes(diff, root_), expected);
  const TreeSnapshot after = snapshot_after(diff, before, before.taken_ns + 1);
  EXPECT_EQ(after.root, before.root);
  ASSERT_EQ(after.files.size(), 3u);
  EXPECT_EQ(after.files[0].outcome, FileOutcome::excluded);
}

}  // namespace
}  // namespace plinthar::scanner

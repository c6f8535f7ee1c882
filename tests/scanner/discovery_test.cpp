#include "plinthar/scanner/discovery.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/scanner/graph.hpp"
#include "plinthar/text/file_io.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {
namespace fs = std::filesystem;

// Paths found under `root`, relative to it, in walk order.
std::vector<std::string> walk(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& path : walk_files(root)) out.push_back(path.lexically_relative(root).string());
  return out;
}

TEST(ShouldScan, ExtensionsAndVenvRule) {
  struct Case {
    const char* path;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"/p/src/a.py", true},
      {"/p/docs/Guide.MD", true},
      {"/p/web/App.TSX", true},
      {"/p/a.yml", true},
      {"/p/a.yaml", true},
      {"/p/x.swift", true},
      {"/p/Dockerfile", false},
      {"/p/setup.cfg", false},
      {"/p/data.csv", false},
      {"/p/.md", false},
      {"/p/notes.", false},
      {"/p/util.test.ts", true},
      {"/p/lib/venv/tool.py", false},
      {"/p/.venv/x.py", false},
      {"/p/myvenv/x.py", true},
  };
  for (const auto& c : cases) EXPECT_EQ(should_scan(c.path), c.expected) << c.path;
}

TEST(FileExtension, LastDotNotFirstOrLast) {
  EXPECT_EQ(file_extension("a/util.test.ts"), ".ts");
  EXPECT_EQ(file_extension("README.MD"), ".MD");
  EXPECT_EQ(file_extension("Makefile"), "");
  EXPECT_EQ(file_extension("dir.d/.md"), "");
  EXPECT_EQ(file_extension("notes."), "");
}

TEST(WalkFiles, PrunesSkippedDirectoriesAtAnyDepth) {
  testing::TempDir dir;
  dir.write("src/a.py", "");
  dir.write("node_modules/x/index.js", "");
  dir.write("src/build/b.ts", "");
  dir.write("venv/lib/c.py", "");
  dir.write(".venv/d.py", "");
  dir.write(".git/e.md", "");
  EXPECT_EQ(walk(dir.path()), (std::vector<std::string>{"src/a.py"}));
}

TEST(WalkFiles, FilesBeforeSubdirectoriesInByteOrder) {
  testing::TempDir dir;
  dir.write("b/z.py", "");
  dir.write("a/y.py", "");
  dir.write("Z.md", "");
  dir.write("m.go", "");
  dir.write("a/B.ts", "");
  EXPECT_EQ(walk(dir.path()),
            (std::vector<std::string>{"Z.md", "m.go", "a/B.ts", "a/y.py", "b/z.py"}));
}

TEST(WalkFiles, RootNamedLikeASkippedDirectoryIsWalked) {
  testing::TempDir dir;
  dir.write("build/a.py", "");
  EXPECT_EQ(walk(dir / "build"), (std::vector<std::string>{"a.py"}));
  EXPECT_TRUE(walk(dir / "does-not-exist").empty());
}

TEST(WalkFiles, LinksInsideFollowedOutsidePrunedBrokenDropped) {
  testing::TempDir dir;
  dir.write("proj/releases/latest/app.py", "");
  dir.write("other/lib.py", "");
  dir.write("other/single.py", "");
  const fs::path root = dir / "proj";
  fs::create_directory_symlink(dir / "proj/releases/latest", root / "current");
  fs::create_directory_symlink(dir / "other", root / "shared");
  fs::create_symlink(dir / "other/single.py", root / "linked.py");
  fs::create_symlink(dir / "missing.py", root / "broken.py");
  // "current" is walked first; the same directory reached again is not walked twice.
  EXPECT_EQ(walk(root), (std::vector<std::string>{"linked.py", "current/app.py"}));
}

TEST(WalkFiles, LinkCycleTerminates) {
  testing::TempDir dir;
  dir.write("proj/a/x.py", "");
  fs::create_directory_symlink(dir / "proj", dir / "proj/a/loop");
  EXPECT_EQ(walk(dir / "proj"), (std::vector<std::string>{"a/x.py"}));
}

// The resolved locations are built from each directory's resolved parent; they must be
// what resolving each path on its own gives, through linked directories, a linked
// root, linked files and a relative root alike.
TEST(WalkFilesResolved, SameAsResolvingEachPath) {
  testing::TempDir dir;
  dir.write("real/proj/a.py", "");
  dir.write("real/proj/pkg/deep/b.py", "");
  dir.write("real/proj/releases/v1/c.py", "");
  dir.write("real/other.py", "");
  const fs::path root = dir / "real/proj";
  fs::create_directory_symlink(dir / "real/proj/releases/v1", root / "current");
  fs::create_symlink(dir / "real/other.py", root / "pkg/other_link.py");
  fs::create_directory_symlink(dir / "real", dir / "alias");
  for (const fs::path& start : {root, dir / "alias/proj", dir / "alias/proj/", fs::path(".")}) {
    SCOPED_TRACE(start.string());
    struct WorkingDirectory {
      fs::path previous = fs::current_path();
      ~WorkingDirectory() { fs::current_path(previous); }
    } restore;
    if (start == ".") fs::current_path(root / "pkg");
    const std::vector<WalkedFile> files = walk_files_resolved(start);
    const std::vector<fs::path> paths = walk_files(start);
    ASSERT_EQ(files.size(), paths.size());
    EXPECT_GE(files.size(), 2u);
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(files[i].path, paths[i]);
      EXPECT_EQ(files[i].resolved, text::resolve_path(paths[i])) << paths[i];
    }
  }
}

TEST(WalkFiles, UnreadableDirectoryIsSkippedSilently) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
  testing::TempDir dir;
  dir.write("a/x.py", "");
  dir.write("b/y.py", "");
  ::chmod((dir / "a").c_str(), 0);
  EXPECT_EQ(walk(dir.path()), (std::vector<std::string>{"b/y.py"}));
  ::chmod((dir / "a").c_str(), 0755);
}

}  // namespace
}  // namespace plinthar::scanner

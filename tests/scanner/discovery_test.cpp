#include "plinthar/scanner/discovery.hpp"

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
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

// Paths are the root exactly as given joined with the names below it, as a path join
// writes them, however the root is spelled.
TEST(WalkFiles, PathsKeepTheRootAsGiven) {
  testing::TempDir dir;
  dir.write("proj/a.py", "");
  dir.write("proj/sub/b.py", "");
  struct WorkingDirectory {
    fs::path previous = fs::current_path();
    ~WorkingDirectory() { fs::current_path(previous); }
  } restore;
  fs::current_path(dir.path());
  for (const std::string root : {"proj", "proj/", "proj//", "./proj", "proj/sub/.."}) {
    const std::vector<fs::path> walked = walk_files(root);
    const std::vector<fs::path> expected = {fs::path(root) / "a.py", fs::path(root) / "sub/b.py"};
    ASSERT_EQ(walked.size(), expected.size()) << root;
    for (std::size_t i = 0; i < walked.size(); ++i) {
      EXPECT_EQ(walked[i].native(), expected[i].native()) << root;
    }
  }
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

// A chain of directories below `base`, each named `name` and holding `files`, made and
// removed through directory descriptors, since its deeper paths are too long to open.
class DirectoryChain {
 public:
  DirectoryChain(const fs::path& base, const std::string& name, int depth,
                 const std::vector<std::string>& files)
      : base_(base), name_(name), depth_(depth), files_(files) {
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
      ::mkdirat(fd, name.c_str(), 0755);
      const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
      ::close(fd);
      fd = next;
      for (const std::string& file : files) {
        ::close(::openat(fd, file.c_str(), O_WRONLY | O_CREAT, 0644));
      }
    }
    ::close(fd);
  }
  ~DirectoryChain() { remove(::open(base_.c_str(), O_RDONLY | O_DIRECTORY), depth_); }
  DirectoryChain(const DirectoryChain&) = delete;
  DirectoryChain& operator=(const DirectoryChain&) = delete;

 private:
  // Empties and removes the `levels` deepest directories below the one open as `fd`.
  void remove(int fd, int levels) const {
    if (fd < 0) return;
    if (levels > 0) {
      remove(::openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY), levels - 1);
      ::unlinkat(fd, name_.c_str(), AT_REMOVEDIR);
    }
    for (const std::string& file : files_) ::unlinkat(fd, file.c_str(), 0);
    ::close(fd);
  }

  fs::path base_;
  std::string name_;
  int depth_;
  std::vector<std::string> files_;
};

// Files below a path too long to open used to vanish without a word; each directory or
// file left out is now named on stderr, and the rest of the tree is walked.
TEST(WalkFiles, PathsTooLongToOpenAreNamedAndTheRestIsWalked) {
  testing::TempDir dir;
  dir.write("a.py", "");
  dir.write("zz/z.py", "");
  const std::string name(250, 'n');
  const std::vector<std::string> files = {"f.py", std::string(60, 'l') + ".py"};
  constexpr int DEPTH = 20;  // 20 * 251 bytes: well beyond PATH_MAX
  const DirectoryChain chain(dir.path(), name, DEPTH, files);

  std::vector<std::string> found = {(dir / "a.py").string()};
  std::string warnings;
  std::string level = dir.path().string();
  for (int depth = 0; depth < DEPTH; ++depth) {
    level += "/" + name;
    if (level.size() >= PATH_MAX) {
      warnings += "warning: " + level + ": path too long to open; skipped\n";
      break;
    }
    for (const std::string& file : files) {
      const std::string path = level + "/" + file;
      if (path.size() < PATH_MAX) {
        found.push_back(path);
      } else {
        warnings += "warning: " + path + ": path too long to open; skipped\n";
      }
    }
  }
  found.push_back((dir / "zz/z.py").string());

  ::testing::internal::CaptureStderr();
  const std::vector<fs::path> walked = walk_files(dir.path());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), warnings);
  EXPECT_EQ(std::vector<std::string>(walked.begin(), walked.end()), found);
}

}  // namespace
}  // namespace plinthar::scanner

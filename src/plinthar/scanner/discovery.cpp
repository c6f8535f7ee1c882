#include "plinthar/scanner/discovery.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include <sys/stat.h>

#include "plinthar/error.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/unicode.hpp"

namespace plinthar::scanner {

namespace fs = std::filesystem;
namespace {

constexpr std::array<std::string_view, 14> SKIP_DIRS = {
    ".git", ".idea",  ".beads", ".vscode", ".beads-hooks", "__pycache__", "node_modules",
    "venv", "vendor", ".venv",  "dist",    ".corvel",      "build",       ".next"};

constexpr std::array<std::string_view, 11> SCANNED_EXTS = {
    ".go", ".py", ".js", ".jsx", ".ts", ".tsx", ".swift", ".json", ".yaml", ".yml", ".md"};

bool is_inside(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p) {
    if (r->empty()) continue;  // trailing separator of the root
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

// Names `path` on standard error: the system cannot open a path that long, so the walk
// leaves it out (a directory with all below it), and would otherwise do so without a
// word. The rest of the tree is walked as usual.
void report_too_long(std::string_view path) {
  std::cerr << "warning: " << path << ": path too long to open; skipped\n";
}

bool too_long(const std::error_code& error) { return error == std::errc::filename_too_long; }

// Appends `name` to the path `base` as a separator-joined component.
void append_component(std::string& base, std::string_view name) {
  if (!base.empty() && base.back() != '/') base += '/';
  base += name;
}

// `base` with `name` appended as a component, in a string of just that size: the walk
// keeps one for every file it finds.
std::string joined(const std::string& base, std::string_view name) {
  std::string path;
  path.reserve(base.size() + 1 + name.size());
  path = base;
  append_component(path, name);
  return path;
}

// Walks with one growing path (and one resolved location) for the whole descent rather
// than a path object per level: a path object keeps a list of its components, so holding
// one per level of a deep chain costs memory with the square of the depth.
class Walker {
 public:
  explicit Walker(const fs::path& root)
      : root_resolved_(text::resolve_path(root)),
        path_(root.native()),
        resolved_(root_resolved_.native()) {}

  void walk() { walk_directory(); }

  std::vector<WalkedFile> take_files() { return std::move(files_); }
  std::vector<WalkedDirectory> take_directories() { return std::move(directories_); }

 private:
  struct FileEntry {
    std::string name;
    bool plain_file;  // listed as a regular file, not a link: no need to ask again

    bool operator<(const FileEntry& other) const { return name < other.name; }
  };

  // Lists the directory at path_ (resolved: resolved_) and walks what it holds.
  void walk_directory() {
    if (!visited_.insert(resolved_).second) return;
    directories_.push_back({path_, text::file_status(path_.c_str())});
    std::vector<std::string> subdirectories;
    std::vector<FileEntry> file_names;
    if (!list(path_, subdirectories, file_names)) return;
    for (const FileEntry& entry : file_names) add_file(entry);
    for (const std::string& name : subdirectories) descend(name);
  }

  static bool list(const std::string& directory, std::vector<std::string>& subdirectories,
                   std::vector<FileEntry>& file_names) {
    std::error_code error;
    fs::directory_iterator it(directory, error);
    if (error) {
      if (too_long(error)) report_too_long(directory);
      return false;
    }
    for (; it != fs::directory_iterator(); it.increment(error)) {
      if (error) break;
      std::error_code type_error;
      const bool is_directory = it->is_directory(type_error);  // follows links
      std::string name = it->path().filename().string();
      if (is_directory && !type_error) {
        subdirectories.push_back(std::move(name));
        continue;
      }
      std::error_code link_error;
      const bool plain_file = !it->is_symlink(link_error) && !link_error &&
                              it->is_regular_file(type_error) && !type_error;
      file_names.push_back({std::move(name), plain_file});
    }
    std::sort(subdirectories.begin(), subdirectories.end());
    std::sort(file_names.begin(), file_names.end());
    return true;
  }

  // Walks the subdirectory `name` of path_ unless it is pruned. A subdirectory that is
  // not a link lies right inside its parent's resolved location; a link is followed only
  // when its target lies inside the root.
  void descend(const std::string& name) {
    if (std::find(SKIP_DIRS.begin(), SKIP_DIRS.end(), name) != SKIP_DIRS.end()) return;
    const std::size_t path_size = path_.size();
    append_component(path_, name);
    std::error_code error;
    const bool is_link = fs::is_symlink(path_, error);
    if (error) {
      if (too_long(error)) report_too_long(path_);
    } else if (!is_link) {
      const std::size_t resolved_size = resolved_.size();
      append_component(resolved_, name);
      walk_directory();
      resolved_.resize(resolved_size);
    } else if (const fs::path target = fs::canonical(path_, error);
               !error && is_inside(target, root_resolved_)) {
      std::string parent_resolved = std::exchange(resolved_, text::resolve_path(path_).native());
      walk_directory();
      resolved_ = std::move(parent_resolved);
    }
    path_.resize(path_size);
  }

  void add_file(const FileEntry& entry) {
    std::string path = joined(path_, entry.name);
    if (!should_scan(path)) return;
    if (path.size() >= PATH_MAX) {
      report_too_long(path);
      return;
    }
    if (entry.plain_file) {
      files_.push_back({std::move(path), joined(resolved_, entry.name)});
      return;
    }
    std::error_code error;
    if (fs::is_regular_file(path, error) && !error) {
      std::string target = text::resolve_path(path).native();
      files_.push_back({std::move(path), std::move(target)});
    }
  }

  fs::path root_resolved_;
  std::string path_;      // the directory being walked, as walked
  std::string resolved_;  // its resolved location
  std::set<std::string> visited_;
  std::vector<WalkedDirectory> directories_;
  std::vector<WalkedFile> files_;
};

}  // namespace

std::string_view file_extension(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
  return name.substr(dot);
}

bool should_scan(const fs::path& path) {
  const std::string& text = path.native();
  if (text::contains(text, "/venv/") || text::contains(text, "/.venv/")) return false;
  const std::string ext = text::to_lower(file_extension(text));
  return std::find(SCANNED_EXTS.begin(), SCANNED_EXTS.end(), ext) != SCANNED_EXTS.end();
}

WalkedTree walk_tree(const fs::path& root) {
  Walker walker(root);
  walker.walk();
  return {walker.take_files(), walker.take_directories()};
}

std::vector<WalkedFile> walk_files_resolved(const fs::path& root) { return walk_tree(root).files; }

std::vector<fs::path> walk_files(const fs::path& root) {
  std::vector<fs::path> paths;
  for (WalkedFile& file : walk_files_resolved(root)) paths.push_back(std::move(file.path));
  return paths;
}

void require_scan_root(const fs::path& root) {
  struct stat status {};
  if (::stat(root.c_str(), &status) != 0) {
    throw Error(root.string() + " is not a directory: " + std::strerror(errno));
  }
  if (!S_ISDIR(status.st_mode)) throw Error(root.string() + " is not a directory");
}

}  // namespace plinthar::scanner

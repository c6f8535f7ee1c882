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

#include <sys/stat.h>

#include "plinthar/error.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/case.hpp"
#include "plinthar/text/file_io.hpp"

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
void report_too_long(const fs::path& path) {
  std::cerr << "warning: " << path.string() << ": path too long to open; skipped\n";
}

bool too_long(const std::error_code& error) { return error == std::errc::filename_too_long; }

class Walker {
 public:
  explicit Walker(const fs::path& root) : root_resolved_(text::resolve_path(root)) {}

  void walk(const fs::path& root) { walk(root, root_resolved_); }

  std::vector<WalkedFile> take_files() { return std::move(files_); }
  std::vector<WalkedDirectory> take_directories() { return std::move(directories_); }

 private:
  struct FileEntry {
    std::string name;
    bool plain_file;  // listed as a regular file, not a link: no need to ask again

    bool operator<(const FileEntry& other) const { return name < other.name; }
  };

  // `resolved` is resolve_path(directory).
  void walk(const fs::path& directory, const fs::path& resolved) {
    if (!visited_.insert(resolved.string()).second) return;
    directories_.push_back({directory, file_status(directory)});
    std::vector<std::string> subdirectories;
    std::vector<FileEntry> file_names;
    if (!list(directory, subdirectories, file_names)) return;
    for (const FileEntry& entry : file_names) add_file(directory, resolved, entry);
    for (const std::string& name : subdirectories) {
      if (const auto kept = _keep_dir(directory, resolved, name)) walk(directory / name, *kept);
    }
  }

  static bool list(const fs::path& directory, std::vector<std::string>& subdirectories,
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

  // The resolved location of the subdirectory `d` of `base` (resolved: `resolved`), or
  // nothing when it is pruned. A subdirectory that is not a link lies right inside its
  // parent's resolved location.
  std::optional<fs::path> _keep_dir(const fs::path& base, const fs::path& resolved,
                                    const std::string& d) const {
    if (std::find(SKIP_DIRS.begin(), SKIP_DIRS.end(), d) != SKIP_DIRS.end()) return std::nullopt;
    const fs::path p = base / d;
    std::error_code error;
    const bool is_link = fs::is_symlink(p, error);
    if (error) {
      if (too_long(error)) report_too_long(p);
      return std::nullopt;
    }
    if (!is_link) return resolved / d;
    const fs::path target = fs::canonical(p, error);
    if (error || !is_inside(target, root_resolved_)) return std::nullopt;
    return text::resolve_path(p);
  }

  void add_file(const fs::path& directory, const fs::path& resolved, const FileEntry& entry) {
    fs::path path = directory / entry.name;
    if (!should_scan(path)) return;
    if (path.native().size() >= PATH_MAX) {
      report_too_long(path);
      return;
    }
    if (entry.plain_file) {
      files_.push_back({std::move(path), resolved / entry.name});
      return;
    }
    std::error_code error;
    if (fs::is_regular_file(path, error) && !error) {
      fs::path target = text::resolve_path(path);
      files_.push_back({std::move(path), std::move(target)});
    }
  }

  fs::path root_resolved_;
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
  walker.walk(root);
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

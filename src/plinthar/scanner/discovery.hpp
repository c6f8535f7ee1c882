#pragma once

// Which files of a project tree take part in the graph.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/text/file_status.hpp"

namespace plinthar::scanner {

// Walks the tree below `root` depth-first, a directory's files before its
// subdirectories, entries sorted by name in byte order. Directories named in the skip
// list and directory links leading out of the root are pruned; a directory reached
// twice (through links) is walked once. Unreadable entries are skipped silently; a
// directory or file whose path is too long to open is skipped with a warning on standard
// error naming it. Paths are `root` as given joined with the names below it.
std::vector<std::filesystem::path> walk_files(const std::filesystem::path& root);

// A file found by the walk, with its location resolved through symbolic links.
struct WalkedFile {
  std::string path;      // as walk_files gives it
  std::string resolved;  // what resolve_path(path) gives
};

// The files of walk_files(root), each with its resolved location. Directories are
// resolved once each, from their parent's resolved location, so that a file that is
// not itself a link costs no extra system call.
std::vector<WalkedFile> walk_files_resolved(const std::filesystem::path& root);

// A directory the walk listed, with its status taken before it was listed (nothing when
// that could not be had), so that a later change to its entries changes the status.
struct WalkedDirectory {
  std::string path;  // `root` as given joined with the names below it
  std::optional<text::FileStatus> status;
};

// What a walk found: the files as walk_files_resolved gives them and the directories
// it listed, in the order listed.
struct WalkedTree {
  std::vector<WalkedFile> files;
  std::vector<WalkedDirectory> directories;
};

WalkedTree walk_tree(const std::filesystem::path& root);

// Throws plinthar::Error ("ROOT is not a directory", with the reason when it cannot be
// looked at) unless `root` is a directory or a link to one. A walk of anything else
// finds no files, and its graph would replace a good one with an empty one.
void require_scan_root(const std::filesystem::path& root);

// Pure text test: the path has one of the accepted extensions (compared lower-cased)
// and does not run through a "venv" or ".venv" folder.
bool should_scan(const std::filesystem::path& path);

// Extension of the last path component: from its last "." when that "." is neither the
// first nor the last character, else "". Case is kept.
std::string_view file_extension(std::string_view path);

}  // namespace plinthar::scanner

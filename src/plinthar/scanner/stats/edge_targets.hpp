#pragma once

// Which file an edge's "to" names. Edges keep what the source wrote (a Python module, an
// import specifier, a path mentioned in a text); this finds the file of the graph it
// means, the way the language's import rules and common path aliases would: relative
// specifiers from the importing file's folder, Python modules from the folder the import
// system starts at, bare paths by their nearest file with that ending, a package's own
// name in front of its paths. Packages from outside the project name no file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

namespace plinthar::scanner {

class EdgeTargets {
 public:
  // Lookup tables over the file ids, in graph order (a file's number is its place here).
  explicit EdgeTargets(const std::vector<std::string_view>& file_ids);

  // The number of the file that the edge (from, target, rel) points at, or nothing.
  std::optional<std::uint32_t> resolve(std::string_view from, std::string_view target,
                                       std::string_view rel) const;

 private:
  std::optional<std::uint32_t> python_module(std::string_view base, std::string_view target) const;
  std::optional<std::uint32_t> exact(std::string_view key) const;
  std::optional<std::uint32_t> nearest_with_suffix(std::string_view key,
                                                   std::string_view from) const;

  std::vector<std::string> ids_;  // the tables below view into these
  // Every file id, id without extension and index/__init__ folder, to the first file
  // that claimed it.
  absl::flat_hash_map<std::string_view, std::uint32_t> keys_;
  // Every component suffix of every key (a/b/c, b/c, c) to its files in graph order.
  absl::flat_hash_map<std::string_view, std::vector<std::uint32_t>> suffixes_;
  // Folders that hold an __init__.py.
  absl::flat_hash_set<std::string_view> packages_;
};

// `rel` (a "/"-separated path) applied to the folder `base`: "." is dropped, ".." goes up
// (and stays at the top once there).
std::string join_path(std::string_view base, std::string_view rel);

}  // namespace plinthar::scanner

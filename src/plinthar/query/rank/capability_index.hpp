#pragma once

// The hand-written capability index: a Markdown file listing the project's capabilities,
// each under a "## Name" heading with a "Keywords: a, b" line and "- path" file items.
// Queries that share keywords with a capability boost the capability's files.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

namespace plinthar::query {

struct CapabilityEntry {
  std::string name;                   // never empty
  std::vector<std::string> keywords;  // lower case, file order, duplicates kept
  std::vector<std::string> files;     // as written, file order, duplicates kept

  bool operator==(const CapabilityEntry&) const = default;
};

// File path (or "dir/" / "prefix*" pattern) to boost, in the order files first got one.
using FileBoosts = std::vector<std::pair<std::string, std::int64_t>>;

// The capabilities of an index whose file holds `bytes`, in file order.
std::vector<CapabilityEntry> parse_capability_index(std::string_view bytes);

// The capabilities in file order; empty when nothing exists at `path` or what is there
// is not a regular file (a FIFO or a device is never read). Throws plinthar::Error for
// a directory, for a file that cannot be read and for a symbolic link, which is not
// followed (the caller resolves a path given by the user).
std::vector<CapabilityEntry> load_capability_index(const std::filesystem::path& path);

// For each capability sharing k >= 1 distinct keywords with `query_terms`, boosts each of
// its files by 4 + 2k; a file under several such capabilities keeps the largest boost.
FileBoosts capability_file_boosts(const std::vector<std::string>& query_terms,
                                  const std::vector<CapabilityEntry>& caps);

// The boosts of one query, ready to be looked up by node id: exact paths, and the
// "dir/" and "prefix*" patterns as prefixes.
struct CapabilityBoosts {
  FileBoosts boosts;  // what the views below point into
  absl::flat_hash_map<std::string_view, std::int64_t> exact;
  std::vector<std::pair<std::string_view, std::int64_t>> prefixes;  // without a final "*"
};

CapabilityBoosts index_boosts(FileBoosts boosts);

// The boost of the exact entry for `node_id` plus that of every pattern it starts with.
std::int64_t capability_boost(std::string_view node_id, const CapabilityBoosts& caps);

}  // namespace plinthar::query

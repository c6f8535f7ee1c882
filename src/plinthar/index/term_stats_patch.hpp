#pragma once

// Term statistics brought up to date without counting the graph again: when a graph is
// rewritten with the same files in the same order and only some of them read again,
// the statistics as they stand are copied and only what those files change is redone.
// The postings of a term that none of them holds, before or after, are copied as they
// are laid out; the result is byte for byte what counting the new graph gives.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/index/term_stats.hpp"

namespace plinthar::index {

using TermCounts = std::vector<std::pair<std::string_view, FieldCounts>>;

// A file read again: its number (files keep theirs), what the statistics now say of it,
// and its terms then and now, each term once, in any order.
struct ChangedFile {
  std::uint32_t file = 0;
  std::int64_t size = 0;
  std::uint8_t facts = 0;
  std::int64_t added_nodes = 0;  // symbols gained (fewer than none when it lost some)
  TermCounts old_terms;
  TermCounts terms;
};

// `old` with the files of `changed` (by ascending number) changed and every edge's ends
// replaced by `edge_from` and `edge_target`. Nothing when `old_terms` do not account for
// exactly what `old` holds of a file: the statistics must then be counted anew.
std::optional<std::string> patched_term_stats(const TermStats& old,
                                              const std::vector<ChangedFile>& changed,
                                              std::vector<std::uint32_t> edge_from,
                                              std::vector<std::uint32_t> edge_target);

}  // namespace plinthar::index

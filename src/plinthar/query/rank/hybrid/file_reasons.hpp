#pragma once

// Why the hybrid ranking chose each of its files, told from the same term statistics it
// scored them with: which of the task's terms each file holds and in which fields, which
// of its import neighbours and same-named companions hold terms (their share of the
// score), and which kinds of file the task asks for that it is.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/hybrid.hpp"
#include "plinthar/query/rank/hybrid/hybrid_query.hpp"

namespace plinthar::query::hybrid {

// A term of the task found in a file, with its count in each field (path words, symbol
// names and keywords, text).
struct TermMatch {
  std::string term;
  std::array<std::uint32_t, index::TERM_FIELDS> counts{};
};

// A file linked to a chosen one whose terms lend it part of their score.
struct LinkedMatch {
  std::uint32_t file = 0;
  bool companion = false;  // a same-named companion, else an import neighbour
  std::vector<std::string> terms;
};

struct FileReasons {
  std::vector<TermMatch> terms;    // in the task's order
  std::vector<LinkedMatch> links;  // import neighbours, then companions; most terms first
  std::vector<std::string_view> asked_kinds;  // "version", "docs", "config", "tests"
};

// At most this many linked files of each kind are told.
inline constexpr std::size_t MAX_LINKS = 3;

// The reasons of each file of `chosen`, in its order. Terms past the 64th of the task
// are not told.
std::vector<FileReasons> explain_ranking(const index::GraphRecords& graph,
                                         const index::TermStats& stats, const HybridQuery& query,
                                         std::span<const RankedFile> chosen);

// "path", "symbols", "text": the field names used in reasons.
std::string_view field_name(std::size_t field);

}  // namespace plinthar::query::hybrid

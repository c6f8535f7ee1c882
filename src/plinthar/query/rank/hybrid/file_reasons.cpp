#include "plinthar/query/rank/hybrid/file_reasons.hpp"

#include <algorithm>
#include <bit>

#include <absl/container/flat_hash_map.h>

#include "plinthar/query/rank/hybrid/linked_scores.hpp"

namespace plinthar::query::hybrid {
namespace {

constexpr std::size_t MAX_TERMS = 64;
using TermMask = std::uint64_t;

// Per file, which of the task's terms it holds; and the matches of the chosen files.
struct Postings {
  std::vector<TermMask> held;
  std::vector<FileReasons> reasons;
};

Postings read_postings(const index::TermStats& stats, const HybridQuery& query,
                       std::span<const RankedFile> chosen) {
  Postings postings{std::vector<TermMask>(stats.file_count(), 0),
                    std::vector<FileReasons>(chosen.size())};
  absl::flat_hash_map<std::uint32_t, std::size_t> slot;
  for (std::size_t i = 0; i < chosen.size(); ++i) slot.emplace(chosen[i].file, i);
  const std::size_t terms = std::min(query.terms.size(), MAX_TERMS);
  for (std::size_t t = 0; t < terms; ++t) {
    const std::string& term = query.terms[t].term;
    stats.for_each_posting(term, [&](const index::Posting& posting) {
      postings.held[posting.file] |= TermMask{1} << t;
      if (const auto found = slot.find(posting.file); found != slot.end()) {
        postings.reasons[found->second].terms.push_back({term, posting.count});
      }
    });
  }
  return postings;
}

std::vector<std::string> terms_of(TermMask mask, const HybridQuery& query) {
  std::vector<std::string> terms;
  for (std::size_t t = 0; t < MAX_TERMS && t < query.terms.size(); ++t) {
    if ((mask >> t) & 1) terms.push_back(query.terms[t].term);
  }
  return terms;
}

// The linked files of `list` that hold terms, most terms first, then in file order.
template <typename List>
std::vector<LinkedMatch> matching_links(std::uint32_t self, const List& list, bool companion,
                                        const std::vector<TermMask>& held,
                                        const HybridQuery& query) {
  std::vector<std::pair<int, std::uint32_t>> found;
  for (std::size_t k = 0; k < list.size(); ++k) {
    const std::uint32_t file = list[k];
    if (file != self && held[file] != 0) found.emplace_back(-std::popcount(held[file]), file);
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  if (found.size() > MAX_LINKS) found.resize(MAX_LINKS);
  std::vector<LinkedMatch> links;
  for (const auto& [order, file] : found) {
    links.push_back({file, companion, terms_of(held[file], query)});
  }
  return links;
}

std::vector<std::string_view> asked_kinds(std::uint8_t facts, const HybridQuery& query) {
  std::vector<std::string_view> kinds;
  if (query.wants_version && (facts & index::FACT_VERSION) != 0) kinds.push_back("version");
  if (query.wants_docs && (facts & index::FACT_DOC) != 0) kinds.push_back("docs");
  if (query.wants_config && (facts & index::FACT_CONFIG) != 0) kinds.push_back("config");
  if (query.wants_tests && (facts & index::FACT_TEST) != 0) kinds.push_back("tests");
  return kinds;
}

}  // namespace

std::vector<FileReasons> explain_ranking(const index::GraphRecords& graph,
                                         const index::TermStats& stats, const HybridQuery& query,
                                         std::span<const RankedFile> chosen) {
  Postings postings = read_postings(stats, query, chosen);
  std::vector<std::uint32_t> files;
  for (const RankedFile& row : chosen) files.push_back(row.file);
  const auto neighbours = neighbours_of(graph, stats, files);
  const auto companions = companions_of(stats, files);
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const std::uint32_t file = chosen[i].file;
    FileReasons& reasons = postings.reasons[i];
    reasons.links = matching_links(file, neighbours[i], false, postings.held, query);
    for (LinkedMatch& link : matching_links(file, companions[i], true, postings.held, query)) {
      reasons.links.push_back(std::move(link));
    }
    reasons.asked_kinds = asked_kinds(stats.facts(file), query);
  }
  return std::move(postings.reasons);
}

std::string_view field_name(std::size_t field) {
  constexpr std::string_view NAMES[index::TERM_FIELDS] = {"path", "symbols", "text"};
  return NAMES[field];
}

}  // namespace plinthar::query::hybrid

#include "plinthar/scanner/stats/file_terms.hpp"

#include <deque>
#include <string_view>

#include <absl/container/flat_hash_map.h>

#include "plinthar/scanner/stats/file_facts.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace plinthar::scanner {
namespace {

// Whether `nodes` are a file node and then symbols whose path is its id, the shape that
// lets their counts be taken as one file's.
bool is_one_file(const std::vector<StatsNode>& nodes) {
  if (nodes.empty() || nodes.front().kind != "file") return false;
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    if (nodes[i].kind != "symbol" || nodes[i].path != nodes.front().id) return false;
  }
  return true;
}

}  // namespace

FileTerms count_file_terms(const std::vector<text::Json>& nodes, text::WordSplitter& splitter) {
  FileTerms out;
  std::vector<StatsNode> members;
  members.reserve(nodes.size());
  for (const text::Json& node : nodes) members.push_back(stats_node_of(node));
  if (!is_one_file(members)) {
    out.nodes = nodes;
    return out;
  }
  std::deque<std::string> texts;  // the terms that `counts` views
  absl::flat_hash_map<std::string_view, index::FieldCounts> counts;
  const auto count = [&](std::string_view text, std::size_t field) {
    splitter.for_each(text, [&](std::string_view term) {
      auto found = counts.find(term);
      if (found == counts.end())
        found = counts.emplace(texts.emplace_back(term), index::FieldCounts{}).first;
      ++found->second[field];
    });
  };
  const StatsNode& file = members.front();
  count(without_extension(file.id), index::PATH_FIELD);
  for (const std::string_view keyword : file.keywords) count(keyword, index::SYMBOL_FIELD);
  count(file.content, index::CONTENT_FIELD);
  for (std::size_t i = 1; i < members.size(); ++i) {
    count(members[i].name, index::SYMBOL_FIELD);
    out.symbol_names.emplace_back(members[i].name);
  }
  out.counted = true;
  out.id = std::string(file.id);
  out.size = file.size;
  out.facts = file_facts(file.id, file.content);
  out.terms.reserve(counts.size());
  for (const auto& [term, field_counts] : counts) {
    for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) out.length[f] += field_counts[f];
    out.terms.emplace_back(term, field_counts);
  }
  return out;
}

}  // namespace plinthar::scanner

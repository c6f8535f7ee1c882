#include "plinthar/scanner/stats/term_stats_builder.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <numeric>

#include "plinthar/scanner/stats/edge_targets.hpp"
#include "plinthar/scanner/stats/file_facts.hpp"
#include "plinthar/text/ascii.hpp"

namespace plinthar::scanner {

namespace {

std::string_view text_member(const text::Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_string()) return {};
  return found->get_ref<const std::string&>();
}

std::int64_t size_member(const text::Json& node) {
  const auto found = node.find("size");
  if (found == node.end()) return 0;
  if (found->is_number_unsigned()) {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(found->get<std::uint64_t>(), INT64_MAX));
  }
  if (found->is_number_integer()) return found->get<std::int64_t>();
  if (found->is_number_float()) return static_cast<std::int64_t>(found->get<double>());
  if (found->is_boolean()) return found->get<bool>() ? 1 : 0;
  if (found->is_string()) {  // a hand-made "12"
    std::string_view digits = found->get_ref<const std::string&>();
    while (!digits.empty() && text::is_ascii_pattern_space(digits.front())) digits.remove_prefix(1);
    while (!digits.empty() && text::is_ascii_pattern_space(digits.back())) digits.remove_suffix(1);
    if (digits.starts_with('+')) digits.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc() && end == digits.data() + digits.size()) return value;
  }
  return 0;
}

}  // namespace

StatsNode stats_node_of(const text::Json& node) {
  StatsNode out;
  if (!node.is_object()) return out;
  out.id = text_member(node, "id");
  out.kind = text_member(node, "kind");
  out.path = text_member(node, "path");
  out.name = text_member(node, "name");
  out.content = text_member(node, "content");
  out.size = size_member(node);
  const auto keywords = node.find("keywords");
  if (keywords != node.end() && keywords->is_array()) {
    for (const text::Json& keyword : *keywords) {
      if (keyword.is_string()) out.keywords.push_back(keyword.get_ref<const std::string&>());
    }
  }
  return out;
}

std::uint32_t TermStatsBuilder::term_id(std::string_view term) {
  const auto found = term_ids_.find(term);
  if (found != term_ids_.end()) return found->second;
  const auto id = static_cast<std::uint32_t>(term_texts_.size());
  term_texts_.emplace_back(term);
  term_ids_.emplace(term_texts_.back(), id);
  return id;
}

void TermStatsBuilder::count_words(std::string_view text, std::size_t field) {
  splitter_.for_each(text, [&](std::string_view term) { ++open_counts_[term_id(term)][field]; });
}

void TermStatsBuilder::close_open_file() {
  if (!file_open_) return;
  File& file = files_.back();
  file.terms.reserve(open_counts_.size());
  for (const auto& [term, count] : open_counts_) {
    file.terms.push_back({term, count});
    for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) file.length[f] += count[f];
  }
  open_counts_.clear();
  file_open_ = false;
}

void TermStatsBuilder::add_node(const StatsNode& node) {
  const std::uint32_t index = node_count_++;
  if (node.kind == "symbol") {
    const bool in_open_file = file_open_ && node.path == files_.back().id;
    if (in_open_file) count_words(node.name, index::SYMBOL_FIELD);
    symbols_.push_back(
        {std::string(node.path), std::string(node.name),
         in_open_file ? static_cast<std::uint32_t>(files_.size() - 1) : index::NO_FILE});
    return;
  }
  if (node.kind != "file") return;
  close_open_file();
  File& file = files_.emplace_back();
  file.node = index;
  file.id = std::string(node.id);
  file.size = node.size;
  file.facts = file_facts(node.id, node.content);
  file_open_ = true;
  count_words(without_extension(node.id), index::PATH_FIELD);
  for (const std::string_view keyword : node.keywords) count_words(keyword, index::SYMBOL_FIELD);
  count_words(node.content, index::CONTENT_FIELD);
}

void TermStatsBuilder::add_counted_file(std::string_view id, const CountedFile& counted,
                                        std::uint32_t symbol_count) {
  close_open_file();
  File& file = files_.emplace_back();
  file.node = node_count_;
  node_count_ += 1 + symbol_count;
  file.id = std::string(id);
  file.size = counted.size;
  file.facts = counted.facts;
  file.length = counted.length;
  file.terms.reserve(counted.terms.size());
  for (const auto& [term, count] : counted.terms) file.terms.push_back({term_id(term), count});
}

void TermStatsBuilder::add_file_terms(FileTerms&& counted) {
  if (!counted.counted) {
    for (const text::Json& node : counted.nodes) add_node(stats_node_of(node));
    return;
  }
  close_open_file();
  const auto file_index = static_cast<std::uint32_t>(files_.size());
  File& file = files_.emplace_back();
  file.node = node_count_;
  node_count_ += static_cast<std::uint32_t>(1 + counted.symbol_names.size());
  file.size = counted.size;
  file.facts = counted.facts;
  file.length = counted.length;
  file.terms.reserve(counted.terms.size());
  for (const auto& [term, count] : counted.terms) file.terms.push_back({term_id(term), count});
  for (std::string& name : counted.symbol_names) {
    symbols_.push_back({counted.id, std::move(name), file_index});
  }
  file.id = std::move(counted.id);
}

std::optional<std::vector<CountedFile>> counted_files(const index::TermStats& stats) {
  std::vector<CountedFile> files(stats.file_count());
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].size = stats.size(i);
    files[i].facts = stats.facts(i);
    for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) files[i].length[f] = stats.length(i, f);
  }
  const bool whole = stats.for_each_term([&](std::string_view term, const index::Posting& posting) {
    files[posting.file].terms.emplace_back(term, posting.count);
  });
  if (!whole) return std::nullopt;
  return files;
}

void TermStatsBuilder::add_edge(std::string_view from, std::string_view to, std::string_view rel) {
  edges_.push_back({std::string(from), std::string(to), std::string(rel)});
}

void TermStatsBuilder::add_words_to_file(File& file, std::string_view text, std::size_t field) {
  splitter_.for_each(text, [&](std::string_view word) {
    const std::uint32_t term = term_id(word);
    ++file.length[field];
    for (TermCount& entry : file.terms) {
      if (entry.term == term) {
        ++entry.count[field];
        return;
      }
    }
    TermCount entry{term, {}};
    entry.count[field] = 1;
    file.terms.push_back(entry);
  });
}

// A symbol counts for every file whose id is its path. Graphs the scanner writes put each
// symbol right after its file, where it has been counted already; this counts the rest
// (hand-made graphs, repeated ids).
void TermStatsBuilder::count_symbols_of_other_files() {
  absl::flat_hash_map<std::string_view, std::vector<std::uint32_t>> files_by_id;
  for (std::uint32_t i = 0; i < files_.size(); ++i) files_by_id[files_[i].id].push_back(i);
  for (const Symbol& symbol : symbols_) {
    const auto found = files_by_id.find(symbol.path);
    if (found == files_by_id.end()) continue;
    for (const std::uint32_t file : found->second) {
      if (file != symbol.counted_in)
        add_words_to_file(files_[file], symbol.name, index::SYMBOL_FIELD);
    }
  }
}

// The per-file arrays: where each file's node stands, the first file of its id, its
// field lengths, size and facts.
void TermStatsBuilder::put_files(index::TermStatsParts& parts) const {
  absl::flat_hash_map<std::string_view, std::uint32_t> first_with_id;
  for (std::uint32_t i = 0; i < files_.size(); ++i) {
    const File& file = files_[i];
    parts.node.push_back(file.node);
    parts.canonical.push_back(first_with_id.try_emplace(file.id, i).first->second);
    parts.length.insert(parts.length.end(), file.length.begin(), file.length.end());
    parts.size.push_back(file.size);
    parts.facts.push_back(file.facts);
  }
}

// Every file's bare stem, numbered in order of first appearance.
void TermStatsBuilder::put_stems(index::TermStatsParts& parts) const {
  absl::flat_hash_map<std::string, std::uint32_t> numbers;
  for (const File& file : files_) {
    std::string stem = bare_stem(file.id);
    const auto [slot, added] =
        numbers.try_emplace(stem, static_cast<std::uint32_t>(parts.stems.size()));
    if (added) parts.stems.push_back(std::move(stem));
    parts.stem.push_back(slot->second);
  }
}

// Each edge's ends among the files: its "from" as the first file of that id, its "to"
// resolved the way the language's import rules would ("contains" edges name symbols).
void TermStatsBuilder::put_edges(index::TermStatsParts& parts) const {
  std::vector<std::string_view> ids;
  ids.reserve(files_.size());
  for (const File& file : files_) ids.push_back(file.id);
  absl::flat_hash_map<std::string_view, std::uint32_t> first_with_id;
  for (std::uint32_t i = 0; i < ids.size(); ++i) first_with_id.try_emplace(ids[i], i);
  const EdgeTargets targets(ids);
  for (const Edge& edge : edges_) {
    const auto from = first_with_id.find(edge.from);
    const std::uint32_t source = from == first_with_id.end() ? index::NO_FILE : from->second;
    std::uint32_t target = index::NO_FILE;
    if (source != index::NO_FILE && edge.rel != "contains") {
      target = targets.resolve(edge.from, edge.to, edge.rel).value_or(index::NO_FILE);
    }
    parts.edge_from.push_back(source);
    parts.edge_target.push_back(target);
  }
}

// Each term's files in file order, the terms sorted by text.
void TermStatsBuilder::put_postings(index::TermStatsParts& parts) const {
  std::vector<std::vector<index::Posting>> by_term(term_texts_.size());
  for (std::uint32_t i = 0; i < files_.size(); ++i) {
    for (const TermCount& entry : files_[i].terms) by_term[entry.term].push_back({i, entry.count});
  }
  std::vector<std::uint32_t> order(term_texts_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return term_texts_[a] < term_texts_[b]; });
  for (const std::uint32_t term : order) {
    parts.terms.push_back(term_texts_[term]);
    parts.postings.push_back(std::move(by_term[term]));
  }
}

std::string TermStatsBuilder::finish() {
  close_open_file();
  count_symbols_of_other_files();
  index::TermStatsParts parts;
  put_files(parts);
  put_stems(parts);
  put_edges(parts);
  put_postings(parts);
  std::string bytes = index::term_stats_bytes(parts);
  *this = TermStatsBuilder();
  return bytes;
}

}  // namespace plinthar::scanner

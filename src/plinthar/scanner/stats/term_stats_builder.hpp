#pragma once

// Building the term statistics of a graph (index/term_stats.hpp) from its nodes and edges
// as they come: each file's text is split into terms when its node arrives, so that the
// text itself need not be kept.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/scanner/stats/file_terms.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::scanner {

// The members of a node that the statistics read.
struct StatsNode {
  std::string_view id;
  std::string_view kind;
  std::string_view path;     // of a symbol: its file
  std::string_view name;     // of a symbol
  std::string_view content;  // of a file
  std::int64_t size = 0;
  std::vector<std::string_view> keywords;
};

// The members of a node map that the statistics read; members missing or not of the
// expected type read as empty (a size that is not a number as 0).
StatsNode stats_node_of(const text::Json& node);

// A file's statistics taken over whole from the statistics of an earlier graph.
struct CountedFile {
  std::int64_t size = 0;
  std::uint8_t facts = 0;
  index::FieldCounts length{};
  std::vector<std::pair<std::string_view, index::FieldCounts>> terms;
};

// The statistics of each file of `stats`, by file: what add_counted_file takes to give
// the file the statistics it had there. Nothing when `stats` is damaged.
std::optional<std::vector<CountedFile>> counted_files(const index::TermStats& stats);

class TermStatsBuilder {
 public:
  // Adds the next node of the graph; nodes come in graph order.
  void add_node(const StatsNode& node);
  // Adds the next file of the graph with the statistics it had in an earlier graph of
  // the same build, its symbols counted with it: the file's node and its `symbol_count`
  // symbol nodes, whose paths are its id, as a scan writes them.
  void add_counted_file(std::string_view id, const CountedFile& file, std::uint32_t symbol_count);
  // Adds the next scanned file's nodes, counted already (file_terms.hpp).
  void add_file_terms(FileTerms&& file);
  // Adds the next edge of the graph.
  void add_edge(std::string_view from, std::string_view to, std::string_view rel);
  // The section's bytes. The builder is spent afterwards.
  std::string finish();

 private:
  struct TermCount {
    std::uint32_t term;
    index::FieldCounts count;
  };
  struct File {
    std::uint32_t node = 0;
    std::string id;
    std::int64_t size = 0;
    std::uint8_t facts = 0;
    index::FieldCounts length{};
    std::vector<TermCount> terms;
  };
  struct Symbol {
    std::string path;
    std::string name;
    std::uint32_t counted_in;  // the file it was counted in as it came, or NO_FILE
  };
  struct Edge {
    std::string from;
    std::string to;
    std::string rel;
  };

  void count_words(std::string_view text, std::size_t field);
  void close_open_file();
  void count_symbols_of_other_files();
  void add_words_to_file(File& file, std::string_view text, std::size_t field);
  std::uint32_t term_id(std::string_view term);

  void put_files(index::TermStatsParts& parts) const;
  void put_stems(index::TermStatsParts& parts) const;
  void put_edges(index::TermStatsParts& parts) const;
  void put_postings(index::TermStatsParts& parts) const;

  text::WordSplitter splitter_;
  absl::flat_hash_map<std::string_view, std::uint32_t> term_ids_;  // views of term_texts_
  std::deque<std::string> term_texts_;
  std::vector<File> files_;
  std::vector<Symbol> symbols_;
  std::vector<Edge> edges_;
  absl::flat_hash_map<std::uint32_t, index::FieldCounts> open_counts_;  // of the last file added
  bool file_open_ = false;
  std::uint32_t node_count_ = 0;
};

}  // namespace plinthar::scanner

#pragma once

// One scanned file's share of the term statistics, counted in the thread that read the
// file, so that a scan on several threads splits its texts into words on all of them;
// the statistics builder then only adds the counts up, in graph order.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::scanner {

struct FileTerms {
  // False when the nodes were not one file node followed by that file's symbols (a
  // rescan may keep what earlier nodes held): `nodes` then holds them, to be added one by
  // one.
  bool counted = false;
  std::string id;
  std::int64_t size = 0;
  std::uint8_t facts = 0;
  index::FieldCounts length{};
  std::vector<std::pair<std::string, index::FieldCounts>> terms;  // in no particular order
  std::vector<std::string> symbol_names;                          // in graph order
  std::vector<text::Json> nodes;
};

// The terms of a scanned file's nodes (its file node first, then its symbols), as the
// statistics builder would count them node by node.
FileTerms count_file_terms(const std::vector<text::Json>& nodes, text::WordSplitter& splitter);

}  // namespace plinthar::scanner

#pragma once

// Route handlers, hooks, utilities, classes, types and schemas of a TS/JS file.

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"
#include "plinthar/scanner/graph.hpp"

namespace plinthar::scanner {

// (symbol type, confidence) of a function-like symbol.
using Classification = std::pair<std::string_view, std::string_view>;

// Symbol records of `content`; `file_path` is the file id used to build each id.
std::vector<SymbolRecord> extract_symbols_ts(std::string_view content, std::string_view file_path);

// Index of the line that closes the brace block opened at or after line `start`, looking
// at most 400 lines ahead; min(last line, start + 100) when no block closes in that window.
std::int64_t _find_block_end_ts(const std::vector<std::string_view>& lines, std::int64_t start);

// Route, hook, utility or use case, from the name's shape and whether it is exported.
Classification _classify_ts(std::string_view name, bool exported);

// Every exported arrow-function (or function-expression) constant declared in column 0:
// whole-match span and constant name, exactly as a left-to-right regex search with the
// declaration pattern would report them, but in linear time.
std::vector<TextMatch> find_arrow_constants(std::string_view text);

}  // namespace plinthar::scanner

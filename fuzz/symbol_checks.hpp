#pragma once

// The promises every symbol record keeps, whatever the text it was found in.

#include <string>
#include <string_view>
#include <vector>

#include "fuzz_target.hpp"
#include "plinthar/scanner/graph.hpp"

namespace plinthar::fuzz {

inline bool is_short_hash(std::string_view text) {
  return text.size() == 8 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

inline void check_symbols(const std::vector<scanner::SymbolRecord>& symbols,
                          std::string_view file_id) {
  static constexpr std::string_view TYPES[] = {"api_route", "hook", "use_case", "utility", "model"};
  for (const scanner::SymbolRecord& symbol : symbols) {
    FUZZ_CHECK(!symbol.name.empty());
    FUZZ_CHECK(symbol.id == std::string(file_id) + "::" + symbol.name);
    FUZZ_CHECK(symbol.line_start >= 0 && symbol.line_end >= symbol.line_start);
    FUZZ_CHECK(is_short_hash(symbol.body_hash));
    FUZZ_CHECK(symbol.confidence == "high" || symbol.confidence == "medium");
    bool known_type = false;
    for (const std::string_view type : TYPES) known_type = known_type || symbol.symbol_type == type;
    FUZZ_CHECK(known_type);
    FUZZ_CHECK(symbol.keywords.size() <= 10);
  }
}

}  // namespace plinthar::fuzz

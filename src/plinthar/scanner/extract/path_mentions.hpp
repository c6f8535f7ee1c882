#pragma once

// Mentions of source and data files (`dir/name.py`, `a-b/c.json`) in a file's text.

#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"

namespace plinthar::scanner {

// Every match of `([A-Za-z0-9_\-\/]+\.(go|py|tsx|ts|jsx|json|js|swift|md|yaml|yml))` in
// `text`, left to right and non-overlapping, with the whole mention as the group.
std::vector<TextMatch> find_path_mentions(std::string_view text);

}  // namespace plinthar::scanner

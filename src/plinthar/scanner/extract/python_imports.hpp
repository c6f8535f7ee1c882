#pragma once

// Python `import x` and `from x import` lines, found by a scan over line starts instead
// of a pattern run at each of them.

#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"

namespace plinthar::scanner {

// Every match of `^\s*import\s+([a-zA-Z0-9_\.]+)` (multi-line) in `text`, left to right
// and non-overlapping, with the module name as the group.
std::vector<TextMatch> find_python_imports(std::string_view text);

// Every match of `^\s*from\s+([a-zA-Z0-9_\.]+)\s+import\s+` (multi-line) in `text`, left
// to right and non-overlapping, with the module name as the group.
std::vector<TextMatch> find_python_from_imports(std::string_view text);

}  // namespace plinthar::scanner

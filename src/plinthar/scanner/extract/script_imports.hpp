#pragma once

// Script imports of the form `import ... from "module"`, found without backtracking.

#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/text_match.hpp"

namespace plinthar::scanner {

// Every match of `import\s+.*?\s+from\s+['"]([^'"]+)['"]` in `text`, left to right and
// non-overlapping, with the module name as the group; linear in the length of `text`.
std::vector<TextMatch> find_script_imports(std::string_view text);

}  // namespace plinthar::scanner

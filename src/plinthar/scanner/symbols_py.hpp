#pragma once

// Module-level functions and classes of a Python file.

#include <string_view>
#include <vector>

#include "plinthar/scanner/graph.hpp"

namespace plinthar::scanner {

// Symbol records of `content`; `file_path` is the file id used to build each id.
std::vector<SymbolRecord> extract_symbols_py(std::string_view content, std::string_view file_path);

}  // namespace plinthar::scanner

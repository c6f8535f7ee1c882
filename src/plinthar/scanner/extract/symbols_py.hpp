#pragma once

// Module-level functions and classes of a Python file.

#include <cstddef>
#include <string_view>
#include <vector>

#include "plinthar/scanner/graph.hpp"

namespace plinthar::scanner {

// Symbol records of `content`; `file_path` is the file id used to build each id.
std::vector<SymbolRecord> extract_symbols_py(std::string_view content, std::string_view file_path);

// Index of the last line of the block that begins at line `start`: the last non-blank
// line before the next line, no deeper than `start`, that opens a function, a class or
// a decorator; `start` itself when no non-blank line follows it.
std::size_t _find_block_end_py(const std::vector<std::string_view>& lines, std::size_t start);

}  // namespace plinthar::scanner

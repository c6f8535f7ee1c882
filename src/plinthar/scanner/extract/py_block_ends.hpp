#pragma once

// Python block ends for many start lines of one file. A block ends before the first
// later line that is no deeper than its first line and opens a function, class or
// decorator; scanning forward once per symbol is quadratic when thousands of symbols
// share a block that never closes, so the lines are classified once and each query
// finds that closing line in a tree of minimum indents.

#include <cstddef>
#include <string_view>
#include <vector>

namespace plinthar::scanner {

// Leading white-space length of `line` in code points.
std::size_t leading_space_length(std::string_view line);

// Whether `line` (not blank) starts a function, class or decorator, so that it ends
// every block whose first line is at least as deep.
bool opens_python_block(std::string_view line);

class PyBlockEnds {
 public:
  // `lines` must outlive this instance.
  explicit PyBlockEnds(const std::vector<std::string_view>& lines);

  // Same result as _find_block_end_py(lines, start).
  std::size_t block_end(std::size_t start) const;

 private:
  // First index at or after `from` whose closing indent is at most `limit`, or the
  // number of lines when there is none.
  std::size_t first_closer(std::size_t from, std::size_t limit) const;
  std::size_t first_closer(std::size_t node, std::size_t lo, std::size_t hi, std::size_t from,
                           std::size_t limit) const;

  const std::vector<std::string_view>& lines_;
  // Per line: one more than the index of the last non-blank line at or before it; 0
  // when there is none.
  std::vector<std::size_t> last_content_;
  std::size_t leaves_ = 1;
  // Minimum tree over the lines' closing indents (indent of a line that opens a block,
  // "never" for every other line).
  std::vector<std::size_t> tree_;
};

}  // namespace plinthar::scanner

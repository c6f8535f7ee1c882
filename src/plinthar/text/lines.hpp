#pragma once

// Dividing text into lines.

#include <cstddef>
#include <string_view>
#include <vector>

namespace plinthar::text {

// Splits at "\n", "\r\n", "\r", "\v", "\f", U+001C..U+001E, U+0085, U+2028 and U+2029.
// A boundary at the very end starts no extra empty line; empty text has no lines.
std::vector<std::string_view> split_lines(std::string_view text);

// The first `count` lines of split_lines(text) (all of them when there are fewer),
// without splitting the rest of the text.
std::vector<std::string_view> first_lines(std::string_view text, std::size_t count);

// Byte offsets at which each "\n"-separated line starts; element 0 is 0. Lets callers
// turn a byte offset into a line index (number of "\n" before it) by binary search.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);
  // Number of "\n" characters before byte offset `offset`.
  std::size_t line_of(std::size_t offset) const;

 private:
  std::vector<std::size_t> starts_;
};

}  // namespace plinthar::text

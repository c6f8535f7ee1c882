#include "plinthar/scanner/extract/py_block_ends.hpp"

#include <algorithm>
#include <limits>

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::scanner {

namespace {

constexpr std::size_t NEVER = std::numeric_limits<std::size_t>::max();

// Lines of ASCII are settled byte by byte; the text layer decides for the rest.
bool is_blank(std::string_view line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return text::trim(line).empty();
    if (!text::is_ascii_text_space(byte)) return false;
  }
  return true;
}

// False only when the pattern below certainly fails: the line does not begin with "c"
// or "@", and the first character after ASCII white space is ASCII but neither "a" nor
// "d". Saves a pattern run on the vast majority of lines.
bool may_open_block(std::string_view line) {
  if (line.empty()) return false;
  if (line.front() == 'c' || line.front() == '@') return true;
  std::size_t pos = 0;
  while (pos < line.size() && text::is_ascii_text_space(static_cast<unsigned char>(line[pos])))
    ++pos;
  if (pos == line.size()) return false;
  const auto c = static_cast<unsigned char>(line[pos]);
  return c >= 0x80 || c == 'a' || c == 'd';
}

}  // namespace

std::size_t leading_space_length(std::string_view line) {
  // ASCII white space up to an ASCII character (or the end) is the whole answer, one
  // code point per byte; anything else is counted the general way.
  std::size_t pos = 0;
  while (pos < line.size() && text::is_ascii_text_space(static_cast<unsigned char>(line[pos])))
    ++pos;
  if (pos == line.size() || static_cast<unsigned char>(line[pos]) < 0x80) return pos;
  return text::cp_length(line) - text::cp_length(text::trim_left(line));
}

bool opens_python_block(std::string_view line) {
  static const text::Regex opener(R"(\s*(?:async\s+)?def\s+|class\s+|@)");
  return may_open_block(line) && opener.match(line).has_value();
}

PyBlockEnds::PyBlockEnds(const std::vector<std::string_view>& lines) : lines_(lines) {
  const std::size_t count = lines.size();
  while (leaves_ < count) leaves_ *= 2;
  tree_.assign(2 * leaves_, NEVER);
  last_content_.assign(count, 0);
  std::size_t last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!is_blank(lines[i])) {
      last = i + 1;
      if (opens_python_block(lines[i])) tree_[leaves_ + i] = leading_space_length(lines[i]);
    }
    last_content_[i] = last;
  }
  for (std::size_t node = leaves_ - 1; node >= 1; --node) {
    tree_[node] = std::min(tree_[2 * node], tree_[2 * node + 1]);
  }
}

std::size_t PyBlockEnds::first_closer(std::size_t node, std::size_t lo, std::size_t hi,
                                      std::size_t from, std::size_t limit) const {
  if (hi <= from || tree_[node] > limit) return NEVER;
  if (hi - lo == 1) return lo;
  const std::size_t mid = lo + (hi - lo) / 2;
  const std::size_t left = first_closer(2 * node, lo, mid, from, limit);
  if (left != NEVER) return left;
  return first_closer(2 * node + 1, mid, hi, from, limit);
}

std::size_t PyBlockEnds::first_closer(std::size_t from, std::size_t limit) const {
  const std::size_t found = first_closer(1, 0, leaves_, from, limit);
  return found == NEVER ? lines_.size() : found;
}

std::size_t PyBlockEnds::block_end(std::size_t start) const {
  if (start + 1 >= lines_.size()) return start;
  const std::size_t closer = first_closer(start + 1, leading_space_length(lines_[start]));
  // The block holds every non-blank line between its start and the closing line.
  const std::size_t last = last_content_[closer - 1];
  return last > start + 1 ? last - 1 : start;
}

}  // namespace plinthar::scanner

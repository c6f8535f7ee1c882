#include "plinthar/text/lines.hpp"

#include <algorithm>
#include <limits>

#include "plinthar/text/byte_finders.hpp"

namespace plinthar::text {
namespace {

// Length of the line boundary that starts at byte `pos`, or 0. Only the bytes 0x0A-0x0D,
// 0x1C-0x1E, 0xC2 (U+0085) and 0xE2 (U+2028, U+2029) can start one.
std::size_t boundary_length(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte == '\r') return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
  if ((byte >= 0x0A && byte <= 0x0C) || (byte >= 0x1C && byte <= 0x1E)) return 1;
  if (byte == 0xC2) {
    return pos + 1 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x85 ? 2 : 0;
  }
  if (byte == 0xE2 && pos + 2 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x80) {
    const auto last = static_cast<unsigned char>(text[pos + 2]);
    return last == 0xA8 || last == 0xA9 ? 3 : 0;
  }
  return 0;
}

bool may_start_boundary(unsigned char byte) {
  return (byte >= 0x0A && byte <= 0x0D) || (byte >= 0x1C && byte <= 0x1E) || byte == 0xC2 ||
         byte == 0xE2;
}

// Offset of the first byte at or after `pos` that may start a boundary (or the end).
// Every such byte is a control character or not ASCII.
std::size_t next_boundary_candidate(std::string_view text, std::size_t pos) {
  return find_first_byte(text, pos, word_bits::control_or_non_ascii, may_start_boundary);
}

// The lines of `text` in order, at most `max_lines` of them.
std::vector<std::string_view> split_lines_upto(std::string_view text, std::size_t max_lines) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (lines.size() < max_lines) {
    pos = next_boundary_candidate(text, pos);
    if (pos >= text.size()) break;
    const std::size_t length = boundary_length(text, pos);
    if (length == 0) {
      ++pos;
      continue;
    }
    lines.push_back(text.substr(start, pos - start));
    pos += length;
    start = pos;
  }
  if (start < text.size() && lines.size() < max_lines) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  return split_lines_upto(text, std::numeric_limits<std::size_t>::max());
}

std::vector<std::string_view> first_lines(std::string_view text, std::size_t count) {
  return split_lines_upto(text, count);
}

LineIndex::LineIndex(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t pos = text.find('\n'); pos != std::string_view::npos;
       pos = text.find('\n', pos + 1)) {
    starts_.push_back(pos + 1);
  }
}

std::size_t LineIndex::line_of(std::size_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

}  // namespace plinthar::text

#pragma once

// Finding bytes fast: the next occurrence of a character when asked again and again, and
// the first byte of a kind, passing over eight bytes at a time while none of them can be
// one.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace plinthar::text {

// True when `part` occurs in `text`.
inline bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Offset of the first byte at or after `pos` for which `is_wanted(byte)` holds, or the
// size of `text`. `may_hold_wanted(word)` looks at eight bytes loaded as one word; it may
// answer true for a word without a wanted byte (the bytes are then tested one by one),
// but never false for a word with one.
template <typename MayHoldWanted, typename IsWanted>
std::size_t find_first_byte(std::string_view text, std::size_t pos, MayHoldWanted may_hold_wanted,
                            IsWanted is_wanted) {
  while (pos < text.size()) {
    while (pos + 8 <= text.size()) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, sizeof word);
      if (may_hold_wanted(word)) break;
      pos += 8;
    }
    const std::size_t stop = pos + 8 < text.size() ? pos + 8 : text.size();
    for (; pos < stop; ++pos) {
      if (is_wanted(static_cast<unsigned char>(text[pos]))) return pos;
    }
  }
  return text.size();
}

// Word tests for find_first_byte. Each sets the high bit of every byte it is about (a
// borrow or carry may set it in a later byte too, which only ends a fast stretch early).
namespace word_bits {
inline constexpr std::uint64_t ONES = 0x0101010101010101ULL;
inline constexpr std::uint64_t HIGH = 0x8080808080808080ULL;

// Bytes of 0x80 and above.
constexpr std::uint64_t non_ascii(std::uint64_t word) { return word & HIGH; }
// Bytes below 0x20, and those of 0x80 and above.
constexpr std::uint64_t control_or_non_ascii(std::uint64_t word) {
  return ((word - 0x20 * ONES) | word) & HIGH;
}
// Bytes equal to `byte` (below 0x80).
constexpr std::uint64_t equal_to(std::uint64_t word, unsigned char byte) {
  const std::uint64_t diff = word ^ (byte * ONES);
  return (diff - ONES) & ~diff & HIGH;
}
}  // namespace word_bits

// Finds the next occurrence of one character at or after a position, remembering the last
// answer: queries that move forward through a stretch without the character reuse it, so
// a scan that asks once per candidate costs time linear in the text, not quadratic.
class CharFinder {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  // `text` must outlive the finder.
  CharFinder(std::string_view text, char wanted) : text_(text), wanted_(wanted) {}

  // Offset of the first `wanted` at or after `from`, or npos.
  std::size_t operator()(std::size_t from) {
    const bool reusable = has_answer_ && from >= asked_ && (found_ == npos || from <= found_);
    if (!reusable) {
      asked_ = from;
      found_ = text_.find(wanted_, from);
      has_answer_ = true;
    }
    return found_;
  }

 private:
  std::string_view text_;
  char wanted_;
  bool has_answer_ = false;
  std::size_t asked_ = 0;
  std::size_t found_ = npos;
};

}  // namespace plinthar::text

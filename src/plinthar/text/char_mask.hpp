#pragma once

// Which ASCII characters a text holds, as a 128-bit set. Ranking runs dozens of fixed
// substring tests on every node; a text that lacks one of a word's characters cannot
// contain the word, and comparing two sets is far cheaper than searching. Bytes outside
// ASCII are left out of both sides, so the test only ever rules out impossible matches.

#include <cstdint>
#include <string>
#include <string_view>

namespace plinthar::text {

struct CharMask {
  std::uint64_t low = 0;   // characters 0..63
  std::uint64_t high = 0;  // characters 64..127

  static constexpr CharMask of(std::string_view text) {
    CharMask mask;
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 64) {
        mask.low |= std::uint64_t{1} << byte;
      } else if (byte < 128) {
        mask.high |= std::uint64_t{1} << (byte - 64);
      }
    }
    return mask;
  }

  // Whether every character of `part` is in this set.
  constexpr bool covers(const CharMask& part) const {
    return (part.low & ~low) == 0 && (part.high & ~high) == 0;
  }
};

// A text with its character set, for repeated substring tests.
struct MaskedText {
  std::string_view text;
  CharMask mask;

  constexpr MaskedText() = default;
  constexpr MaskedText(std::string_view t) : text(t), mask(CharMask::of(t)) {}  // NOLINT
  constexpr MaskedText(const char* t) : MaskedText(std::string_view(t)) {}      // NOLINT
  constexpr MaskedText(std::string_view t, CharMask m) : text(t), mask(m) {}

  // Whether `part` occurs in the text.
  constexpr bool contains(const MaskedText& part) const {
    return mask.covers(part.mask) && text.find(part.text) != std::string_view::npos;
  }
};

// text::lowered() (case.hpp) with the character set of the result, in one pass over texts
// that need no lowering.
MaskedText lowered_masked(std::string_view text, std::string& buffer);

}  // namespace plinthar::text

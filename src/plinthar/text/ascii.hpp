#pragma once

// Byte-level tests for the ASCII range, which hand-written scanners use to settle the
// common case before asking the Unicode-aware functions of this layer.

#include <cstddef>
#include <string>

namespace plinthar::text {

inline constexpr char HEX_DIGITS[] = "0123456789abcdef";

constexpr bool is_ascii_upper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_ascii_lower(unsigned char c) { return c >= 'a' && c <= 'z'; }
constexpr bool is_ascii_digit(unsigned char c) { return c >= '0' && c <= '9'; }

constexpr char ascii_lower(unsigned char c) {
  return static_cast<char>(is_ascii_upper(c) ? c - 'A' + 'a' : c);
}

// `text` with A-Z lowered; every other byte stays as it is.
inline void lower_ascii_in_place(std::string& text) {
  for (char& c : text) c = ascii_lower(static_cast<unsigned char>(c));
}

// White space among ASCII characters in the sense of the regular expressions' `\s`:
// space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool is_ascii_pattern_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// White space among ASCII characters in the sense of is_space() (whitespace.hpp): the
// pattern's white space plus the information separators U+001C..U+001F.
constexpr bool is_ascii_text_space(unsigned char c) {
  return is_ascii_pattern_space(c) || (c >= 0x1C && c <= 0x1F);
}

// Bytes of the UTF-8 sequence that the lead byte `lead` starts (1 for ASCII).
constexpr std::size_t utf8_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

}  // namespace plinthar::text

#pragma once

// Text helpers shared by the scanner and the query program. All text is UTF-8 in
// std::string; lengths, slices and indexes that the graph exposes count code points.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plinthar::scanner {

// Decodes file bytes as UTF-8, silently dropping every byte that is not part of a
// valid sequence (overlong forms, encoded surrogates and values above U+10FFFF are
// invalid), then turns "\r\n" and every remaining "\r" into "\n". A leading byte-order
// mark is kept.
std::string decode_text(std::string_view bytes);
// The same, decoding into `text` (whose storage is reused from call to call).
void decode_text(std::string_view bytes, std::string& text);

// Length of the well-formed UTF-8 sequence that starts at byte `pos`, or 0 when the
// bytes there do not form one (overlong forms, surrogates and values above U+10FFFF do
// not).
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t pos);

// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);

// Decodes the code point starting at byte `pos` of valid UTF-8 and advances `pos`.
char32_t next_code_point(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of `cp` to `out`.
void append_utf8(std::string& out, char32_t cp);

// Number of code points in valid UTF-8 text.
std::size_t cp_length(std::string_view text);

// The first `count` code points of `text` (all of it when shorter).
std::string_view cp_prefix(std::string_view text, std::size_t count);

// Full Unicode lower-casing (one code point may become several).
std::string to_lower(std::string_view text);

// Full Unicode upper-casing.
std::string to_upper(std::string_view text);

// Unicode white space, plus the information separators U+001C..U+001F, which plain
// text tools treat as white space too.
bool is_space(char32_t cp);

// `text` without leading and trailing white space.
std::string_view trim(std::string_view text);
std::string_view trim_left(std::string_view text);

// Pieces of `text` between runs of white space; no empty pieces.
std::vector<std::string_view> split_whitespace(std::string_view text);

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

// True when `part` occurs in `text`.
inline bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace plinthar::scanner

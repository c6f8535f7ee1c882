#pragma once

// UTF-8 text: decoding file bytes, checking and walking code points. All text is UTF-8 in
// std::string; lengths, slices and indexes that the graph exposes count code points.

#include <cstddef>
#include <string>
#include <string_view>

namespace plinthar::text {

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

// `bytes` when they are well-formed UTF-8; otherwise `buffer`, filled with `bytes`
// without the bytes that are not part of a valid sequence (nothing else changes). For
// text from outside (a query, a file name) on its way to the regular expressions.
std::string_view valid_utf8(std::string_view bytes, std::string& buffer);

// Decodes the code point starting at byte `pos` of valid UTF-8 and advances `pos`.
char32_t next_code_point(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of `cp` to `out`.
void append_utf8(std::string& out, char32_t cp);

// Number of code points in valid UTF-8 text.
std::size_t cp_length(std::string_view text);

// The first `count` code points of `text` (all of it when shorter).
std::string_view cp_prefix(std::string_view text, std::size_t count);

// `text` when it has at most `most` code points; else its first `most` - 1 followed by
// "\u2026" (an ellipsis), cut between whole characters. Empty when `most` is 0.
std::string cp_shortened(std::string_view text, std::size_t most);

}  // namespace plinthar::text

#pragma once

// Escaping characters in text written out: the \u form shared by the JSON writer and the
// one-line form of values printed in line-oriented output.

#include <string>
#include <string_view>

namespace plinthar::text {

// Appends "\u" and the four lower-case hexadecimal digits of the UTF-16 unit `unit`.
void append_unicode_escape(unsigned unit, std::string& out);

// Which characters have a two-character escape ("\n"): line feed, carriage return and
// tab in every form; quote, backslash, backspace and form feed too in JSON.
enum class ShortEscapes { line, json };

// The two-character escape of `cp` in the given form, or "" when it has none.
std::string_view short_escape(char32_t cp, ShortEscapes form);

// `text` with every character that could end or disturb a line escaped, so that a value
// printed on one line stays on that line: "\n", "\r", "\t" and "\u00XX"-style escapes
// for the C0 and C1 controls and DEL, "\u2028" and "\u2029" for the Unicode line and
// paragraph separators; each byte that is not valid UTF-8 as "\udcXX", as the JSON form
// writes it, so that the line is valid UTF-8. Every other character is kept as it is.
std::string one_line(std::string_view text);

}  // namespace plinthar::text

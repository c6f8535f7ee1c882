#pragma once

// Escaping characters in text written out: the \u form shared by the JSON writer and the
// one-line form of values printed in line-oriented output.

#include <string>
#include <string_view>

namespace plinthar::text {

// Appends "\u" and the four lower-case hexadecimal digits of the UTF-16 unit `unit`.
void append_unicode_escape(unsigned unit, std::string& out);

// Appends "\n", "\r" or "\t" for those characters and the \u escape of any other
// character of the Basic Multilingual Plane.
void append_control_escape(char32_t cp, std::string& out);

// `text` with every character that could end or disturb a line escaped, so that a value
// printed on one line stays on that line: "\n", "\r", "\t" and "\u00XX"-style escapes
// for the C0 and C1 controls and DEL, "\u2028" and "\u2029" for the Unicode line and
// paragraph separators. Every other character, and any byte that is not valid UTF-8,
// is kept as it is.
std::string one_line(std::string_view text);

}  // namespace plinthar::text

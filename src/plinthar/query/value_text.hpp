#pragma once

// How JSON values read from the graph and the logs appear in the line-oriented text
// outputs (retrieve's text form, the prime block, the stats lines).

#include <string>
#include <string_view>

#include "plinthar/scanner/json_format.hpp"

namespace plinthar::query {

using scanner::Json;

// text_form (member_text.hpp) of `map[key]`, or `missing` when `map` is not a map or lacks
// `key`.
std::string printed_member(const Json& map, std::string_view key, std::string_view missing);

// `text` with every character that could end or disturb a line escaped, so that a value
// printed on one line stays on that line: "\n", "\r", "\t" and "\u00XX"-style escapes
// for the C0 and C1 controls and DEL, "\u2028" and "\u2029" for the Unicode line and
// paragraph separators. Every other character, and any byte that is not valid UTF-8,
// is kept as it is.
std::string one_line(std::string_view text);

}  // namespace plinthar::query

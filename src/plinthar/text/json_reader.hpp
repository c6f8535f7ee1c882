#pragma once

// Parsing JSON text read from the data directory or the command line.

#include <optional>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::text {

// The deepest nesting of lists and maps that a JSON text may have: the writers and the
// copies of a value recurse once per level, so deeper text is refused as malformed
// rather than let run the stack out. The graph files nest 4 levels deep.
constexpr std::size_t MAX_JSON_DEPTH = 1000;

// Whether `text` opens more than `limit` lists and maps inside one another (brackets
// inside strings do not count). Looks at the brackets only; the text need not be JSON.
bool nests_deeper_than(std::string_view text, std::size_t limit);

// The value of the four hexadecimal digits at `pos` of `text` (as in a \u escape), or
// nothing when there are not four of them.
std::optional<unsigned> hex_unit(std::string_view text, std::size_t pos);

// Parses `text` as one JSON value (surrounding JSON white space allowed). Objects keep
// member order and a repeated key keeps its first position with its last value. The
// escapes \udc80..\udcff that the JSON forms write for bytes of a name that is not
// UTF-8 read back as those bytes. Throws plinthar::Error with the parser's description of
// the problem for other text (and for a number too large for a double, and for text
// nested deeper than MAX_JSON_DEPTH).
Json parse_json(std::string_view text);

// Like parse_json, but nothing instead of an exception.
std::optional<Json> try_parse_json(std::string_view text);

}  // namespace plinthar::text

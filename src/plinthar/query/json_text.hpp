#pragma once

// Parsing JSON text read from the data directory or the command line.

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "plinthar/scanner/json_format.hpp"

namespace plinthar::query {

using scanner::Json;

// The value of the four hexadecimal digits at `pos` of `text` (as in a \u escape), or
// nothing when there are not four of them.
std::optional<unsigned> hex_unit(std::string_view text, std::size_t pos);

// Parses `text` as one JSON value (surrounding JSON white space allowed). Objects keep
// member order and a repeated key keeps its first position with its last value. The
// escapes \udc80..\udcff that the JSON forms write for bytes of a name that is not
// UTF-8 read back as those bytes. Throws nlohmann::json::exception (parse_error, or out_of_range
// for a number too large for a double) for other text.
Json parse_json(std::string_view text);

// Like parse_json, but nothing instead of an exception.
std::optional<Json> try_parse_json(std::string_view text);

// The parser's description of the problem, without the library's bracketed error code.
std::string parse_error_reason(const std::exception& error);

}  // namespace plinthar::query

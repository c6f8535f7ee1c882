#pragma once

// The two JSON layouts every file and document of the system uses. Both are pure
// ASCII: characters outside space..tilde become lower-case \u escapes (surrogate pairs
// above U+FFFF), "/" stays as it is, and members keep their insertion order.

#include <iosfwd>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "plinthar/text/text_sink.hpp"

namespace plinthar::text {

// A JSON value whose objects keep insertion order.
using Json = nlohmann::ordered_json;

// Pretty form: two-space indentation, ": " between key and value, one member or element
// per line, "{}" and "[]" when empty, no line break after the last character.
void write_pretty(const Json& value, std::string& out);
std::string to_pretty(const Json& value);
void write_pretty(const Json& value, std::ostream& out);
// The pretty form handed to `emit` in pieces of about `chunk_bytes`, so that a large
// graph is never held in memory a second time as text.
void write_pretty(const Json& value, const TextSink& emit, std::size_t chunk_bytes = 1u << 20);

// The pretty form of `value` as it stands nested `depth` levels deep in a larger value:
// its members indented by 2 * (depth + 1) spaces, its closing bracket by 2 * depth.
void write_pretty_nested(const Json& value, std::size_t depth, std::string& out);

// Compact form: one line, ", " between members and elements, ": " after keys.
void write_compact(const Json& value, std::string& out);
std::string to_compact(const Json& value);

// `text` as a quoted JSON string in the ASCII-only escaping. Bytes that are not valid
// UTF-8 (possible in file names) are written as the escapes U+DC80..U+DCFF, so nothing
// is lost.
void write_json_string(std::string_view text, std::string& out);

// A floating-point number in the shortest form that reads back to the same value:
// "1.0", "0.1", "1e+16", "1e-05"; "NaN", "Infinity" and "-Infinity" for the rest.
void write_json_float(double value, std::string& out);

}  // namespace plinthar::text

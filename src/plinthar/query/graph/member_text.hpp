#pragma once

// The text form of graph members. Graphs written by the scanner hold strings wherever
// ranking needs text, but a hand-made graph may hold numbers, booleans, null or nested
// values there. Such a value reads as its compact JSON text ("12", "1.5", "true", "null",
// "[1, 2]"): deterministic, distinct from the string "" that stands for a missing member,
// and reading the text back as JSON gives the value again.

#include <string>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// `value` as text: a string as it is, anything else in compact JSON.
std::string text_form(const Json& value);

// The member `key` of the object `map`, or nullptr when it has none.
const Json* find_member(const Json& map, std::string_view key);

// The kind of a JSON value in the words of error messages: "dict", "list", "str", "int",
// "float", "bool" or "NoneType".
std::string_view type_name_in_messages(const Json& value);

}  // namespace plinthar::query

#pragma once

// How JSON values read from the graph and the logs appear in the line-oriented text
// outputs (retrieve's text form, the prime block, the stats lines).

#include <string>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// text_form (member_text.hpp) of `map[key]`, or `missing` when `map` is not a map or lacks
// `key`.
std::string printed_member(const Json& map, std::string_view key, std::string_view missing);

// "<from> --<rel>--> <to>" for an edge record, each value kept on the line.
std::string relation_line(const Json& edge);

}  // namespace plinthar::query

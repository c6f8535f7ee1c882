#pragma once

// Checks that let an On-Demand walk accept exactly what the general parser accepts:
// every value it passes over is looked at as the general parser would read it, and
// nothing of it is kept.

#include <cstddef>
#include <string_view>

#include <simdjson.h>

#include "plinthar/query/graph/json_tokens.hpp"

namespace plinthar::query {

// Calls `read_member(key, value)` for each member of `object` in order; false as soon as
// a member cannot be read or the callback answers false.
template <typename ReadMember>
bool read_members(simdjson::ondemand::object& object, ReadMember read_member) {
  for (auto field_result : object) {
    simdjson::ondemand::field field;
    std::string_view key;
    if (std::move(field_result).get(field) != simdjson::SUCCESS || !read_key(field, key) ||
        !read_member(key, field.value())) {
      return false;
    }
  }
  return true;
}

// Whether the general parser would read `value`, which lies inside `depth` lists and
// maps. On-Demand does not limit the nesting itself; this refuses what lies deeper than
// MAX_JSON_DEPTH.
bool check_value(simdjson::ondemand::value value, std::size_t depth);

// Whether the general parser reads the escapes of the string token `token` as
// On-Demand does. Stage 1 has checked the UTF-8 and the control characters of every
// string; only escapes are left to check.
bool check_string(std::string_view token);

// Moves past a string whose token has been looked at. A value that is only looked at
// stays unread, and On-Demand skips an unread value by counting brackets alone, so that
// a stray ":" or "]" after it would pass unnoticed ({"a": "b": ]}).
bool consume_string(simdjson::ondemand::value& value);

// Whether the number token `token` is one the general parser reads (no double out of
// range), moving past it.
bool check_number(simdjson::ondemand::value& value);

}  // namespace plinthar::query

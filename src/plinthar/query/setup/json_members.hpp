#pragma once

// Reaching into a settings document that someone else also edits: members are created
// where missing, and a member of another type than expected is refused by name rather
// than overwritten.

#include <string>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::query::setup {

using text::Json;

// The object member `key` of the object `parent`, created empty when missing. Throws
// plinthar::Error naming `where` when it is there but not an object.
Json& object_member(Json& parent, const std::string& key, std::string_view where);

// The same for an array member.
Json& array_member(Json& parent, const std::string& key, std::string_view where);

// Erases the member `key` of `parent` when it is an empty object or array.
void erase_if_empty(Json& parent, const std::string& key);

}  // namespace plinthar::query::setup

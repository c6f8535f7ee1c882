#pragma once

// Checking a value against the JSON Schemas the server publishes for its tools, so that
// the schema a client sees is the rule the server applies. Only the keywords those
// schemas use are understood: type, properties, required, additionalProperties (false),
// items, enum, minimum, maximum and minLength.

#include <optional>
#include <string>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

// What is wrong with `value` under `schema`, naming the place ("limit must be at most
// 100", "files[2].path is missing"); nothing when it conforms.
std::optional<std::string> schema_problem(const Json& value, const Json& schema);

// The same for a value that stands at `name` in a larger one.
std::optional<std::string> schema_problem(const Json& value, const Json& schema,
                                          const std::string& name);

}  // namespace plinthar::query::mcp

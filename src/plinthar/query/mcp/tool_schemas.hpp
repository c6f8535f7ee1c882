#pragma once

// What the server tells a client of each tool: name, title, description, the JSON
// Schema of its arguments and of its structured result, and its annotations. The input
// schemas are also the rules the arguments are checked by (schema_check.hpp), and the
// defaults they name are the defaults the tools use.

#include <span>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

// The tools' descriptions, in the order tools/list gives them: each an object with
// "name", "title", "description", "inputSchema", "outputSchema" and "annotations".
const Json& tool_descriptions();

// The description of the tool `name`; nothing for a name the server has no tool for.
const Json* tool_description(std::string_view name);

}  // namespace plinthar::query::mcp

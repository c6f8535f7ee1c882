#pragma once

// The text that relevant_files gives beside its structured result: the files best first,
// each with its reasons and main symbols, one per line.

#include <string>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

// The text of a structured relevant_files result (its output schema's shape).
std::string relevant_files_text(const Json& structured);

}  // namespace plinthar::query::mcp

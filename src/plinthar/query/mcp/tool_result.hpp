#pragma once

// What a tool call gives back: text for the assistant to read, and the same answer as
// structured content matching the tool's output schema.

#include <string>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

struct ToolResult {
  std::string text;
  Json structured;  // null for a failed call
  bool is_error = false;
};

inline ToolResult tool_failure(std::string message) { return {std::move(message), Json(), true}; }

// The result as the protocol's tools/call result, with the structured content only when
// the negotiated revision has it.
Json tool_result_json(const ToolResult& result, bool structured_output);

}  // namespace plinthar::query::mcp

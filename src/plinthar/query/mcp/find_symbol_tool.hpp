#pragma once

// The tool find_symbol: where a symbol is defined.

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

ToolResult find_symbol_tool(ProjectSession& session, const ToolArguments& arguments);

}  // namespace plinthar::query::mcp

#pragma once

// The tool record_action: an event appended to the action log, as `crv action log`
// appends it.

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

ToolResult record_action_tool(ProjectSession& session, const ToolArguments& arguments);

}  // namespace plinthar::query::mcp

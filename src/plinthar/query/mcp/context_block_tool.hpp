#pragma once

// The tool context_block: the block `crv hook prompt` prints for a prompt, ranked on the
// graph the server holds.

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

ToolResult context_block_tool(ProjectSession& session, const ToolArguments& arguments);

}  // namespace plinthar::query::mcp

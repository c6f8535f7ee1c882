#pragma once

// The tools the server offers: each description (tool_schemas.hpp) bound to the function
// that runs it, and the form tools/list gives each in a protocol revision.

#include <string_view>

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

using ToolRun = ToolResult (*)(ProjectSession& session, const ToolArguments& arguments);

// The function that runs the tool `name`; nullptr when there is no such tool.
ToolRun tool_runner(std::string_view name);

// The tools/list entry of the tool `description` for the revision `version`: the
// output schema, title and annotations only where the revision has them.
Json tool_listing(const Json& description, std::string_view version);

// Runs the tool `name` (which must exist) on `arguments`: arguments that break its input
// schema, and failures while it runs, give a failed result that says why.
ToolResult run_tool(std::string_view name, const Json& arguments, ProjectSession& session);

}  // namespace plinthar::query::mcp

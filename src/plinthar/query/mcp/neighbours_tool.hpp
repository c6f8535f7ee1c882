#pragma once

// The tool neighbours: a file's relations both ways.

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

ToolResult neighbours_tool(ProjectSession& session, const ToolArguments& arguments);

// The file id that `path` names: as given, without "./" and with ".." resolved, or,
// for an absolute path inside `root`, relative to it.
std::string file_id_for(const std::string& path, const std::filesystem::path& root);

}  // namespace plinthar::query::mcp

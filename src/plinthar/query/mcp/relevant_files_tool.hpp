#pragma once

// The tool relevant_files: the hybrid ranking's files for a task, each with the reasons
// it was chosen and its main symbols.

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/tool_arguments.hpp"
#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

// At most this many symbols are given per file: those the task names first, then
// public ones, each group in the order of the file.
inline constexpr std::size_t TOP_SYMBOLS = 5;
// At most this many of the symbols the task names are listed by name per file.
inline constexpr std::size_t MAX_NAMED_SYMBOLS = 10;

ToolResult relevant_files_tool(ProjectSession& session, const ToolArguments& arguments);

}  // namespace plinthar::query::mcp

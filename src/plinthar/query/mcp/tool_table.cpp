#include "plinthar/query/mcp/tool_table.hpp"

#include <exception>
#include <string>
#include <utility>

#include "plinthar/query/mcp/context_block_tool.hpp"
#include "plinthar/query/mcp/find_symbol_tool.hpp"
#include "plinthar/query/mcp/neighbours_tool.hpp"
#include "plinthar/query/mcp/protocol_version.hpp"
#include "plinthar/query/mcp/record_action_tool.hpp"
#include "plinthar/query/mcp/relevant_files_tool.hpp"
#include "plinthar/query/mcp/schema_check.hpp"
#include "plinthar/query/mcp/tool_schemas.hpp"

namespace plinthar::query::mcp {
namespace {

constexpr std::pair<std::string_view, ToolRun> RUNNERS[] = {
    {"relevant_files", relevant_files_tool}, {"context_block", context_block_tool},
    {"find_symbol", find_symbol_tool},       {"neighbours", neighbours_tool},
    {"record_action", record_action_tool},
};

}  // namespace

ToolRun tool_runner(std::string_view name) {
  for (const auto& [tool, run] : RUNNERS) {
    if (tool == name && tool_description(name) != nullptr) return run;
  }
  return nullptr;
}

Json tool_listing(const Json& description, std::string_view version) {
  Json listing = Json::object();
  listing["name"] = description["name"];
  if (has_tool_titles(version)) listing["title"] = description["title"];
  listing["description"] = description["description"];
  listing["inputSchema"] = description["inputSchema"];
  if (has_structured_output(version)) listing["outputSchema"] = description["outputSchema"];
  if (has_tool_annotations(version)) listing["annotations"] = description["annotations"];
  return listing;
}

ToolResult run_tool(std::string_view name, const Json& arguments, ProjectSession& session) {
  const Json& schema = (*tool_description(name))["inputSchema"];
  if (const auto problem = schema_problem(arguments, schema)) {
    return tool_failure(std::string(name) + ": " + *problem);
  }
  try {
    return tool_runner(name)(session, ToolArguments(arguments, schema));
  } catch (const std::exception& error) {
    return tool_failure(std::string(name) + ": " + error.what());
  }
}

}  // namespace plinthar::query::mcp

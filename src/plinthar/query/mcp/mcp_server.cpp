#include "plinthar/query/mcp/mcp_server.hpp"

#include "plinthar/query/mcp/tool_schemas.hpp"
#include "plinthar/query/mcp/tool_table.hpp"
#include "plinthar/version.hpp"

namespace plinthar::query::mcp {
namespace {

constexpr std::string_view INSTRUCTIONS =
    "Tools over this project's information graph. Before reading code for a task, call "
    "relevant_files (or context_block for one markdown block) with the task as the user "
    "put it; follow up with find_symbol and neighbours; note what you did with "
    "record_action.";

// The params of a method that takes an object: absent counts as empty.
Json object_params(const Json& params) {
  if (params.is_null()) return Json::object();
  if (!params.is_object()) throw RpcError(INVALID_PARAMS, "params must be an object");
  return params;
}

const std::string& text_param(const Json& params, const char* key) {
  const auto found = params.find(key);
  if (found == params.end() || !found->is_string()) {
    throw RpcError(INVALID_PARAMS, std::string("params.") + key + " must be a string");
  }
  return found->get_ref<const std::string&>();
}

}  // namespace

Json McpServer::request(const std::string& method, const Json& params) {
  if (method == "initialize") return initialize(object_params(params));
  if (method == "ping") return Json::object();
  if (method == "tools/list") {
    object_params(params);
    return list_tools();
  }
  if (method == "tools/call") return call_tool(object_params(params));
  throw RpcError(METHOD_NOT_FOUND, "method not found: " + method);
}

// notifications/initialized and notifications/cancelled need nothing done: every
// request is answered before the next is read.
void McpServer::notification(const std::string&, const Json&) {}

Json McpServer::initialize(const Json& params) {
  version_ = std::string(negotiate_protocol_version(text_param(params, "protocolVersion")));
  Json tools = Json::object();
  tools["listChanged"] = false;
  Json capabilities = Json::object();
  capabilities["tools"] = std::move(tools);
  Json server = Json::object();
  server["name"] = std::string(SERVER_NAME);
  server["version"] = std::string(VERSION);
  Json result = Json::object();
  result["protocolVersion"] = version_;
  result["capabilities"] = std::move(capabilities);
  result["serverInfo"] = std::move(server);
  result["instructions"] = std::string(INSTRUCTIONS);
  return result;
}

Json McpServer::list_tools() const {
  Json tools = Json::array();
  for (const Json& description : tool_descriptions()) {
    tools.push_back(tool_listing(description, version_));
  }
  Json result = Json::object();
  result["tools"] = std::move(tools);
  return result;
}

Json McpServer::call_tool(const Json& params) {
  const std::string& name = text_param(params, "name");
  if (tool_runner(name) == nullptr) throw RpcError(INVALID_PARAMS, "unknown tool: " + name);
  Json arguments = params.value("arguments", Json());
  if (arguments.is_null()) arguments = Json::object();
  if (!arguments.is_object()) throw RpcError(INVALID_PARAMS, "params.arguments must be an object");
  return tool_result_json(run_tool(name, arguments, session_), has_structured_output(version_));
}

}  // namespace plinthar::query::mcp

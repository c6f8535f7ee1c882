#include "plinthar/query/mcp/tool_result.hpp"

namespace plinthar::query::mcp {

Json tool_result_json(const ToolResult& result, bool structured_output) {
  Json content = Json::object();
  content["type"] = "text";
  content["text"] = result.text;
  Json reply = Json::object();
  reply["content"] = Json::array({content});
  if (structured_output && !result.structured.is_null()) {
    reply["structuredContent"] = result.structured;
  }
  reply["isError"] = result.is_error;
  return reply;
}

}  // namespace plinthar::query::mcp

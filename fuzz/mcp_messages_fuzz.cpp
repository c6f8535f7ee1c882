// The server's input: lines of JSON-RPC messages. Each line gets at most one reply,
// which is one JSON object or a non-empty list of them, carrying the request's id and a
// result or an error with a JSON-RPC code; tool arguments are checked against the
// published input schemas without running the tools.

#include <sstream>
#include <string>

#include "fuzz_target.hpp"
#include "plinthar/query/mcp/rpc_dispatch.hpp"
#include "plinthar/query/mcp/schema_check.hpp"
#include "plinthar/query/mcp/tool_schemas.hpp"
#include "plinthar/text/json_reader.hpp"

namespace {

using plinthar::query::mcp::Json;

// Answers tools/call with the schema check of its arguments, everything else with its
// params, and fails "fail" as a tool's internal error would.
class CheckingMethods : public plinthar::query::mcp::RpcMethods {
 public:
  Json request(const std::string& method, const Json& params) override {
    using namespace plinthar::query::mcp;
    if (method == "fail") throw plinthar::Error("failed");
    if (method != "tools/call" || !params.is_object()) return params;
    const auto name = params.find("name");
    const Json* tool = name != params.end() && name->is_string()
                           ? tool_description(name->get<std::string>())
                           : nullptr;
    if (tool == nullptr) throw RpcError(INVALID_PARAMS, "unknown tool");
    const Json arguments = params.value("arguments", Json::object());
    return schema_problem(arguments, (*tool)["inputSchema"]).value_or("");
  }
  void notification(const std::string&, const Json&) override {}
};

bool is_reply(const Json& reply) {
  if (!reply.is_object() || reply.value("jsonrpc", Json()) != "2.0" || !reply.contains("id")) {
    return false;
  }
  const auto error = reply.find("error");
  if (error == reply.end()) return reply.contains("result");
  const Json code = error->value("code", Json());
  return code.is_number_integer() && code.get<int>() >= -32700 && code.get<int>() <= -32600 &&
         error->value("message", Json()).is_string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckingMethods methods;
  std::ostringstream log;
  std::istringstream lines{std::string(plinthar::fuzz::as_text(data, size))};
  for (std::string line; std::getline(lines, line);) {
    const auto reply = plinthar::query::mcp::dispatch_line(line, methods, log);
    if (!reply) continue;
    FUZZ_CHECK(reply->find('\n') == std::string::npos);
    const Json value = plinthar::text::parse_json(*reply);
    if (value.is_array()) {
      FUZZ_CHECK(!value.empty());
      for (const Json& each : value) FUZZ_CHECK(is_reply(each));
    } else {
      FUZZ_CHECK(is_reply(value));
    }
  }
  return 0;
}

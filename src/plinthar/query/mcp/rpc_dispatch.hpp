#pragma once

// Answering one line of JSON-RPC input: a message or a batch of them. Whatever goes
// wrong while a request is handled becomes that request's error response, so that a
// bad request never ends the server.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "plinthar/query/mcp/json_rpc.hpp"

namespace plinthar::query::mcp {

// What the server does for each method.
class RpcMethods {
 public:
  virtual ~RpcMethods() = default;
  // The result of the request `method`. Throws RpcError to answer with that error; any
  // other exception answers with an internal error carrying its message.
  virtual Json request(const std::string& method, const Json& params) = 0;
  // Handles the notification `method`; what it throws is logged only.
  virtual void notification(const std::string& method, const Json& params) = 0;
};

// The reply to `line` in the compact JSON form, without a line break; nothing when no
// reply is due (notifications, responses, a batch of those). Never throws: failures are
// answered and logged on `log`, one line each.
std::optional<std::string> dispatch_line(std::string_view line, RpcMethods& methods,
                                         std::ostream& log);

}  // namespace plinthar::query::mcp

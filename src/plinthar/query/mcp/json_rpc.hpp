#pragma once

// JSON-RPC 2.0 as the server speaks it: one message per line, each a request (with an
// id, answered), a notification (without one, never answered) or a response to a
// request of ours (ignored: the server sends none).

#include <string>
#include <string_view>

#include "plinthar/error.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

inline constexpr int PARSE_ERROR = -32700;
inline constexpr int INVALID_REQUEST = -32600;
inline constexpr int METHOD_NOT_FOUND = -32601;
inline constexpr int INVALID_PARAMS = -32602;
inline constexpr int INTERNAL_ERROR = -32603;

// A failure that answers a request with the JSON-RPC error `code`.
class RpcError : public Error {
 public:
  RpcError(int code, const std::string& message) : Error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

enum class MessageKind { request, notification, response, invalid };

// One message as it arrived, sorted by kind. `id` is the request's id, or for an
// invalid message the id when a usable one could be read (null otherwise); `params` is
// null when absent; `problem` says what makes a message invalid.
struct Message {
  MessageKind kind = MessageKind::invalid;
  Json id;
  std::string method;
  Json params;
  std::string problem;
};

Message classify_message(const Json& value);

Json success_response(const Json& id, Json result);
Json error_response(const Json& id, int code, std::string_view message);

}  // namespace plinthar::query::mcp

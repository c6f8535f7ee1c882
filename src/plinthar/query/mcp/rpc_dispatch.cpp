#include "plinthar/query/mcp/rpc_dispatch.hpp"

#include <exception>
#include <ostream>

#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query::mcp {
namespace {

Json answer_request(const Message& message, RpcMethods& methods, std::ostream& log) {
  try {
    return success_response(message.id, methods.request(message.method, message.params));
  } catch (const RpcError& error) {
    return error_response(message.id, error.code(), error.what());
  } catch (const std::exception& error) {
    log << "crv mcp: " << message.method << ": " << error.what() << "\n";
    return error_response(message.id, INTERNAL_ERROR, error.what());
  } catch (...) {
    log << "crv mcp: " << message.method << ": unknown failure\n";
    return error_response(message.id, INTERNAL_ERROR, "unknown failure");
  }
}

void take_notification(const Message& message, RpcMethods& methods, std::ostream& log) {
  try {
    methods.notification(message.method, message.params);
  } catch (const std::exception& error) {
    log << "crv mcp: " << message.method << ": " << error.what() << "\n";
  } catch (...) {
    log << "crv mcp: " << message.method << ": unknown failure\n";
  }
}

// The response due for one message, or null when none is.
Json answer(const Json& value, RpcMethods& methods, std::ostream& log) {
  const Message message = classify_message(value);
  switch (message.kind) {
    case MessageKind::request:
      return answer_request(message, methods, log);
    case MessageKind::notification:
      take_notification(message, methods, log);
      return Json();
    case MessageKind::response:
      return Json();
    case MessageKind::invalid:
      break;
  }
  return error_response(message.id, INVALID_REQUEST, message.problem);
}

Json answer_batch(const Json& batch, RpcMethods& methods, std::ostream& log) {
  if (batch.empty()) return error_response(Json(), INVALID_REQUEST, "empty batch");
  Json replies = Json::array();
  for (const Json& value : batch) {
    Json reply = answer(value, methods, log);
    if (!reply.is_null()) replies.push_back(std::move(reply));
  }
  return replies.empty() ? Json() : replies;
}

}  // namespace

std::optional<std::string> dispatch_line(std::string_view line, RpcMethods& methods,
                                         std::ostream& log) {
  try {
    Json value;
    try {
      value = text::parse_json(line);
    } catch (const Error& error) {
      return text::to_compact(
          error_response(Json(), PARSE_ERROR, std::string("parse error: ") + error.what()));
    }
    const Json reply =
        value.is_array() ? answer_batch(value, methods, log) : answer(value, methods, log);
    if (reply.is_null()) return std::nullopt;
    return text::to_compact(reply);
  } catch (const std::exception& error) {
    // Only running out of memory gets here; the line cannot be answered by id.
    log << "crv mcp: " << error.what() << "\n";
    return text::to_compact(error_response(Json(), INTERNAL_ERROR, error.what()));
  }
}

}  // namespace plinthar::query::mcp

#include "plinthar/query/mcp/json_rpc.hpp"

namespace plinthar::query::mcp {
namespace {

// Ids are strings or integers; MCP rules out null.
bool usable_id(const Json& id) { return id.is_string() || id.is_number_integer(); }

Message invalid(Json id, std::string problem) {
  Message message;
  message.id = std::move(id);
  message.problem = std::move(problem);
  return message;
}

// The id of `object` when it has a usable one, else null.
Json id_of(const Json& object) {
  const auto id = object.find("id");
  return id != object.end() && usable_id(*id) ? *id : Json();
}

}  // namespace

Message classify_message(const Json& value) {
  if (!value.is_object()) return invalid(Json(), "a message must be a JSON object");
  const auto version = value.find("jsonrpc");
  if (version == value.end() || *version != "2.0") {
    return invalid(id_of(value), "\"jsonrpc\" must be \"2.0\"");
  }
  const auto method = value.find("method");
  const auto id = value.find("id");
  if (method == value.end()) {
    if (value.contains("result") || value.contains("error")) {
      Message response;
      response.kind = MessageKind::response;
      return response;
    }
    return invalid(id_of(value), "a request needs a \"method\"");
  }
  if (!method->is_string()) return invalid(id_of(value), "\"method\" must be a string");
  if (id != value.end() && !usable_id(*id)) {
    return invalid(Json(), "\"id\" must be a string or an integer");
  }
  Message message;
  message.kind = id == value.end() ? MessageKind::notification : MessageKind::request;
  message.id = id_of(value);
  message.method = method->get<std::string>();
  if (const auto params = value.find("params"); params != value.end()) {
    // A notification is never answered, whatever its params.
    if (!params->is_object() && !params->is_array() && message.kind == MessageKind::request) {
      return invalid(message.id, "\"params\" must be an object or an array");
    }
    message.params = *params;
  }
  return message;
}

Json success_response(const Json& id, Json result) {
  Json response = Json::object();
  response["jsonrpc"] = "2.0";
  response["id"] = id;
  response["result"] = std::move(result);
  return response;
}

Json error_response(const Json& id, int code, std::string_view message) {
  Json error = Json::object();
  error["code"] = code;
  error["message"] = std::string(message);
  Json response = Json::object();
  response["jsonrpc"] = "2.0";
  response["id"] = id;
  response["error"] = std::move(error);
  return response;
}

}  // namespace plinthar::query::mcp

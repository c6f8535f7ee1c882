#include "plinthar/query/mcp/tool_arguments.hpp"

#include <cmath>

#include "plinthar/error.hpp"

namespace plinthar::query::mcp {

const Json& ToolArguments::value(std::string_view key) const {
  const std::string name(key);
  if (const auto found = given_.find(name); found != given_.end()) return *found;
  const Json& property = schema_.at("properties").at(name);
  if (const auto fallback = property.find("default"); fallback != property.end()) return *fallback;
  throw Error("argument " + name + " is missing");
}

std::string ToolArguments::text(std::string_view key) const {
  return value(key).get<std::string>();
}

std::int64_t ToolArguments::integer(std::string_view key) const {
  const Json& number = value(key);
  if (number.is_number_integer()) return number.get<std::int64_t>();
  return static_cast<std::int64_t>(std::llround(number.get<double>()));
}

}  // namespace plinthar::query::mcp

#include "plinthar/query/mcp/schema_check.hpp"

#include <cmath>

#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query::mcp {
namespace {

constexpr const char* ROOT_NAME = "the value";

bool is_integral(const Json& value) {
  if (value.is_number_integer()) return true;
  if (!value.is_number_float()) return false;
  const double number = value.get<double>();
  return std::isfinite(number) && std::floor(number) == number;
}

bool has_type(const Json& value, const std::string& type) {
  if (type == "string") return value.is_string();
  if (type == "integer") return is_integral(value);
  if (type == "number") return value.is_number();
  if (type == "boolean") return value.is_boolean();
  if (type == "object") return value.is_object();
  if (type == "array") return value.is_array();
  if (type == "null") return value.is_null();
  return false;
}

// "an integer", "a string or null": the schema's "type" in words.
std::string type_words(const Json& type) {
  const auto article = [](const std::string& name) {
    return (name == "integer" || name == "object" || name == "array" ? "an " : "a ") + name;
  };
  if (type.is_string()) return article(type.get<std::string>());
  std::string words;
  for (const Json& each : type) {
    words += (words.empty() ? "" : " or ") + article(each.get<std::string>());
  }
  return words;
}

std::optional<std::string> type_problem(const Json& value, const Json& schema,
                                        const std::string& name) {
  const auto type = schema.find("type");
  if (type == schema.end()) return std::nullopt;
  if (type->is_string() && has_type(value, type->get<std::string>())) return std::nullopt;
  if (type->is_array()) {
    for (const Json& each : *type) {
      if (has_type(value, each.get<std::string>())) return std::nullopt;
    }
  }
  return name + " must be " + type_words(*type);
}

std::optional<std::string> range_problem(const Json& value, const Json& schema,
                                         const std::string& name) {
  if (!value.is_number()) return std::nullopt;
  const double number = value.get<double>();
  if (const auto low = schema.find("minimum"); low != schema.end() && number < low->get<double>()) {
    return name + " must be at least " + text::to_compact(*low);
  }
  if (const auto high = schema.find("maximum");
      high != schema.end() && number > high->get<double>()) {
    return name + " must be at most " + text::to_compact(*high);
  }
  return std::nullopt;
}

std::optional<std::string> length_problem(const Json& value, const Json& schema,
                                          const std::string& name) {
  const auto least = schema.find("minLength");
  if (!value.is_string() || least == schema.end()) return std::nullopt;
  if (text::cp_length(value.get_ref<const std::string&>()) >= least->get<std::uint64_t>()) {
    return std::nullopt;
  }
  return name + (least->get<std::uint64_t>() == 1
                     ? " must not be empty"
                     : " must have at least " + text::to_compact(*least) + " characters");
}

std::optional<std::string> enum_problem(const Json& value, const Json& schema,
                                        const std::string& name) {
  const auto choices = schema.find("enum");
  if (choices == schema.end()) return std::nullopt;
  for (const Json& choice : *choices) {
    if (choice == value) return std::nullopt;
  }
  return name + " must be one of " + text::to_compact(*choices);
}

// Where a member stands: "limit" at the top, "files[0].path" further down.
std::string member_name(const std::string& name, const std::string& key) {
  return name == ROOT_NAME ? key : name + "." + key;
}

std::optional<std::string> object_problem(const Json& value, const Json& schema,
                                          const std::string& name) {
  if (!value.is_object()) return std::nullopt;
  const Json properties = schema.value("properties", Json::object());
  for (const Json& key : schema.value("required", Json::array())) {
    if (!value.contains(key.get<std::string>())) {
      return member_name(name, key.get<std::string>()) + " is missing";
    }
  }
  const bool closed = schema.value("additionalProperties", true) == false;
  for (const auto& [key, member] : value.items()) {
    const auto property = properties.find(key);
    if (property != properties.end()) {
      if (auto problem = schema_problem(member, *property, member_name(name, key))) return problem;
    } else if (closed) {
      return member_name(name, key) + " is not known";
    }
  }
  return std::nullopt;
}

std::optional<std::string> array_problem(const Json& value, const Json& schema,
                                         const std::string& name) {
  const auto items = schema.find("items");
  if (!value.is_array() || items == schema.end()) return std::nullopt;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (auto problem = schema_problem(value[i], *items, name + "[" + std::to_string(i) + "]")) {
      return problem;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> schema_problem(const Json& value, const Json& schema) {
  return schema_problem(value, schema, ROOT_NAME);
}

std::optional<std::string> schema_problem(const Json& value, const Json& schema,
                                          const std::string& name) {
  for (const auto check :
       {type_problem, enum_problem, range_problem, length_problem, object_problem, array_problem}) {
    if (auto problem = check(value, schema, name)) return problem;
  }
  return std::nullopt;
}

}  // namespace plinthar::query::mcp

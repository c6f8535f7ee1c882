#include "plinthar/query/graph/value_checks.hpp"

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {

namespace od = simdjson::ondemand;

namespace {

bool check_object(od::value value, std::size_t depth) {
  od::object object;
  return value.get_object().get(object) == simdjson::SUCCESS &&
         read_members(object, [depth](std::string_view, od::value member) {
           return check_value(member, depth);
         });
}

bool check_array(od::value value, std::size_t depth) {
  od::array list;
  if (value.get_array().get(list) != simdjson::SUCCESS) return false;
  for (auto element_result : list) {
    od::value element;
    if (std::move(element_result).get(element) != simdjson::SUCCESS ||
        !check_value(element, depth)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool consume_string(od::value& value) {
  od::raw_json_string ignored;
  return value.get_raw_json_string().get(ignored) == simdjson::SUCCESS;
}

bool check_string(std::string_view token) {
  const auto body = string_body(token);
  if (!body) return false;
  return has_plain_escapes(*body) || text::try_parse_json(trim_token(token)).has_value();
}

bool check_number(od::value& value) {
  text::Json number;
  double ignored = 0;
  return number_from_text(trim_token(value.raw_json_token()), number) &&
         value.get_double().get(ignored) == simdjson::SUCCESS;
}

bool check_value(od::value value, std::size_t depth) {
  od::json_type type{};
  if (value.type().get(type) != simdjson::SUCCESS) return false;
  switch (type) {
    case od::json_type::string:
      return check_string(value.raw_json_token()) && consume_string(value);
    case od::json_type::number:
      return check_number(value);
    case od::json_type::boolean: {
      bool flag = false;
      return value.get_bool().get(flag) == simdjson::SUCCESS;
    }
    case od::json_type::null: {
      bool is_null = false;
      return value.is_null().get(is_null) == simdjson::SUCCESS && is_null;
    }
    case od::json_type::object:
      return depth < text::MAX_JSON_DEPTH && check_object(value, depth + 1);
    case od::json_type::array:
      return depth < text::MAX_JSON_DEPTH && check_array(value, depth + 1);
  }
  return false;
}

}  // namespace plinthar::query

#include "plinthar/query/graph/member_text.hpp"

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

using text::Json;

std::string text_form(const Json& value) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  return text::to_compact(value);
}

const Json* find_member(const Json& map, std::string_view key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &*found;
}

std::string_view json_kind_name(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
      return "NoneType";
    case Json::value_t::boolean:
      return "bool";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "int";
    case Json::value_t::number_float:
      return "float";
    case Json::value_t::string:
      return "str";
    case Json::value_t::array:
      return "list";
    case Json::value_t::object:
      return "dict";
    case Json::value_t::binary:
      return "bytes";
  }
  return "object";
}

}  // namespace plinthar::query

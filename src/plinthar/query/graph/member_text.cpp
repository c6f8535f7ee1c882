#include "plinthar/query/graph/member_text.hpp"

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

std::string text_form(const text::Json& value) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  return text::to_compact(value);
}

const text::Json* find_member(const text::Json& map, std::string_view key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &*found;
}

std::string_view type_name_in_messages(const text::Json& value) {
  switch (value.type()) {
    case text::Json::value_t::null:
    case text::Json::value_t::discarded:
      return "NoneType";
    case text::Json::value_t::boolean:
      return "bool";
    case text::Json::value_t::number_integer:
    case text::Json::value_t::number_unsigned:
      return "int";
    case text::Json::value_t::number_float:
      return "float";
    case text::Json::value_t::string:
      return "str";
    case text::Json::value_t::array:
      return "list";
    case text::Json::value_t::object:
      return "dict";
    case text::Json::value_t::binary:
      return "bytes";
  }
  return "object";
}

}  // namespace plinthar::query

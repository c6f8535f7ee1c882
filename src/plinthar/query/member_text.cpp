#include "plinthar/query/member_text.hpp"

namespace plinthar::query {

std::string text_form(const Json& value) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  return scanner::to_compact(value);
}

const Json* find_member(const Json& map, std::string_view key) {
  const auto found = map.find(key);
  return found == map.end() ? nullptr : &*found;
}

std::string_view member_text(const Json& map, std::string_view key, std::string& storage,
                             std::string_view fallback) {
  const Json* value = find_member(map, key);
  if (value == nullptr) return fallback;
  if (value->is_string()) return value->get_ref<const std::string&>();
  storage = scanner::to_compact(*value);
  return storage;
}

std::string_view TextPool::member_text(const Json& map, std::string_view key,
                                       std::string_view fallback) {
  const Json* value = find_member(map, key);
  if (value == nullptr) return fallback;
  if (value->is_string()) return value->get_ref<const std::string&>();
  return owned_.emplace_back(scanner::to_compact(*value));
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

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

}  // namespace plinthar::query

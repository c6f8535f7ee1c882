#include "plinthar/query/setup/json_members.hpp"

#include "plinthar/error.hpp"

namespace plinthar::query::setup {
namespace {

Json& member_of_type(Json& parent, const std::string& key, std::string_view where, bool object) {
  const auto found = parent.find(key);
  if (found == parent.end()) return parent[key] = object ? Json::object() : Json::array();
  if (object ? !found->is_object() : !found->is_array()) {
    throw Error(std::string(where) + " is not " + (object ? "an object" : "a list") +
                "; leaving the file as it is");
  }
  return *found;
}

}  // namespace

Json& object_member(Json& parent, const std::string& key, std::string_view where) {
  return member_of_type(parent, key, where, true);
}

Json& array_member(Json& parent, const std::string& key, std::string_view where) {
  return member_of_type(parent, key, where, false);
}

void erase_if_empty(Json& parent, const std::string& key) {
  const auto found = parent.find(key);
  if (found != parent.end() && found->is_structured() && found->empty()) parent.erase(found);
}

}  // namespace plinthar::query::setup

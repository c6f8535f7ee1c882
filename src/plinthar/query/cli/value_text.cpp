#include "plinthar/query/cli/value_text.hpp"

#include "plinthar/query/graph/member_text.hpp"

namespace plinthar::query {

std::string printed_member(const text::Json& map, std::string_view key, std::string_view missing) {
  if (!map.is_object()) return std::string(missing);
  const auto found = map.find(std::string(key));
  if (found == map.end()) return std::string(missing);
  return text_form(*found);
}

}  // namespace plinthar::query

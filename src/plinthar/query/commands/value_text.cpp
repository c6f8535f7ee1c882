#include "plinthar/query/commands/value_text.hpp"

#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/text/escapes.hpp"

namespace plinthar::query {

std::string printed_member(const text::Json& map, std::string_view key, std::string_view missing) {
  if (!map.is_object()) return std::string(missing);
  const auto found = map.find(std::string(key));
  if (found == map.end()) return std::string(missing);
  return text_form(*found);
}

std::string relation_line(const text::Json& edge) {
  return text::one_line(printed_member(edge, "from", "None")) + " --" +
         text::one_line(printed_member(edge, "rel", "None")) + "--> " +
         text::one_line(printed_member(edge, "to", "None"));
}

}  // namespace plinthar::query

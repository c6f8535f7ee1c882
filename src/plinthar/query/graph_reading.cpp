#include "plinthar/query/graph_reading.hpp"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/query/json_tokens.hpp"

namespace plinthar::query {
namespace {

namespace od = simdjson::ondemand;

// Where a value sits in the graph: only the objects of the top-level "nodes" list carry
// the file texts that can be left out.
enum class Place { root, node_list, node, other };

Place member_place(Place parent, std::string_view key) {
  return parent == Place::root && key == "nodes" ? Place::node_list : Place::other;
}

Place element_place(Place parent) {
  return parent == Place::node_list ? Place::node : Place::other;
}

using Member = std::pair<std::string, Json>;

// Builds Json values from On-Demand values. Every function answers false when the fast
// path cannot vouch for the value, which sends the whole document to the slow path.
class Reader {
 public:
  Reader(GraphMembers members, const std::function<void(const char*)>& passed)
      : skip_content_(members == GraphMembers::without_content), passed_(passed) {}

  bool read_value(od::value value, Json& out, Place place) {
    od::json_type type{};
    if (value.type().get(type) != simdjson::SUCCESS) return false;
    switch (type) {
      case od::json_type::object: {
        od::object object;
        return value.get_object().get(object) == simdjson::SUCCESS &&
               read_object(object, out, place);
      }
      case od::json_type::array: {
        od::array array;
        return value.get_array().get(array) == simdjson::SUCCESS && read_array(array, out, place);
      }
      case od::json_type::string:
        return read_string(value, out);
      case od::json_type::number:
        return read_number(value, out);
      case od::json_type::boolean: {
        bool flag = false;
        if (value.get_bool().get(flag) != simdjson::SUCCESS) return false;
        out = flag;
        return true;
      }
      case od::json_type::null: {
        bool is_null = false;
        if (value.is_null().get(is_null) != simdjson::SUCCESS || !is_null) return false;
        out = nullptr;
        return true;
      }
    }
    return false;
  }

  // Members and elements are gathered on shared stacks and moved into containers of
  // the right size once complete, which spares the allocator a growing vector per
  // container.
  bool read_object(od::object& object, Json& out, Place place) {
    const std::size_t first = member_stack_.size();
    for (auto field_result : object) {
      od::field field;
      std::string_view key;
      if (std::move(field_result).get(field) != simdjson::SUCCESS || !read_key(field, key)) {
        return false;
      }
      if (skip_content_ && place == Place::node && key == "content") {
        if (!check_skipped(field.value())) return false;
        continue;
      }
      std::string name(key);
      Json value;
      if (!read_value(field.value(), value, member_place(place, name))) return false;
      add_member(first, std::move(name), std::move(value));
    }
    out = Json::object();
    auto& members = out.get_ref<Json::object_t&>();
    members.reserve(member_stack_.size() - first);
    for (auto it = member_stack_.begin() + static_cast<std::ptrdiff_t>(first);
         it != member_stack_.end(); ++it) {
      members.emplace_back(std::move(it->first), std::move(it->second));
    }
    member_stack_.resize(first);
    return true;
  }

 private:
  // A repeated key keeps its first place and takes the last value, as the nlohmann
  // parser does.
  void add_member(std::size_t first, std::string&& name, Json&& value) {
    for (auto it = member_stack_.begin() + static_cast<std::ptrdiff_t>(first);
         it != member_stack_.end(); ++it) {
      if (it->first == name) {
        it->second = std::move(value);
        return;
      }
    }
    member_stack_.emplace_back(std::move(name), std::move(value));
  }

  bool read_array(od::array& array, Json& out, Place place) {
    const std::size_t first = element_stack_.size();
    const Place inner = element_place(place);
    for (auto element_result : array) {
      od::value element;
      Json value;
      if (std::move(element_result).get(element) != simdjson::SUCCESS) return false;
      if (inner == Place::node && passed_) passed_(element.raw_json_token().data());
      if (!read_value(element, value, inner)) return false;
      element_stack_.push_back(std::move(value));
    }
    const auto begin = element_stack_.begin() + static_cast<std::ptrdiff_t>(first);
    out = Json::array();
    out.get_ref<Json::array_t&>().assign(std::make_move_iterator(begin),
                                         std::make_move_iterator(element_stack_.end()));
    element_stack_.resize(first);
    return true;
  }

  // Strings without escapes (nearly all) are copied straight from the input; stage 1
  // has already checked their UTF-8 and control characters.
  static bool read_string(od::value& value, Json& out) {
    const auto body = string_body(value.raw_json_token());
    if (!body) return false;
    if (body->find('\\') == std::string_view::npos) {
      out = std::string(*body);
      return true;
    }
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) return false;
    out = std::string(text);
    return true;
  }

  // Numbers are converted from their text here rather than by simdjson, whose portable
  // build turns long mantissas (more than 19 digits) into wrong values.
  static bool read_number(od::value& value, Json& out) {
    const std::string_view token = value.raw_json_token();
    return number_from_text(token.substr(0, token.find_last_not_of(" \t\n\r") + 1), out);
  }

  // A left-out member still has to be valid JSON for the answer to match the slow
  // path's: a string is checked without being unescaped, anything else is read and
  // dropped.
  bool check_skipped(od::value value) {
    od::json_type type{};
    if (value.type().get(type) != simdjson::SUCCESS) return false;
    if (type != od::json_type::string) {
      Json ignored;
      return read_value(value, ignored, Place::other);
    }
    const auto body = string_body(value.raw_json_token());
    return body && has_plain_escapes(*body);
  }

  bool skip_content_;
  const std::function<void(const char*)>& passed_;
  std::vector<Member> member_stack_;
  std::vector<Json> element_stack_;
};

}  // namespace

std::optional<Json> parse_graph_fast(simdjson::padded_string_view text, GraphMembers members,
                                     const std::function<void(const char*)>& passed) {
  Json graph;
  const bool read = read_top_level_map(text, [&](od::document&, od::object& root) {
    return Reader(members, passed).read_object(root, graph, Place::root);
  });
  if (!read) return std::nullopt;
  return graph;
}

Json read_graph_text(simdjson::padded_string_view text, const std::filesystem::path& path,
                     GraphMembers members, const std::function<void(const char*)>& passed) {
  if (auto graph = parse_graph_fast(text, members, passed)) return std::move(*graph);
  Json graph = parse_graph(std::string_view(text.data(), text.size()), path);
  if (members == GraphMembers::without_content) drop_node_contents(graph);
  return graph;
}

void drop_node_contents(Json& graph) {
  const auto nodes = graph.find("nodes");
  if (nodes == graph.end() || !nodes->is_array()) return;
  for (Json& node : *nodes) {
    if (node.is_object()) node.erase("content");
  }
}

}  // namespace plinthar::query

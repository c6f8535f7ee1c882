#include "plinthar/query/graph_reading.hpp"

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/query/json_text.hpp"

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

// The text between the quotes of a string token (the token runs up to the next
// structural character, so it may carry white space after the closing quote), or nothing
// when the token does not have that shape.
std::optional<std::string_view> string_body(std::string_view token) {
  const auto close = token.find_last_not_of(" \t\n\r");
  if (token.size() < 2 || token.front() != '"' || close == 0 || close == std::string_view::npos ||
      token[close] != '"') {
    return std::nullopt;
  }
  return token.substr(1, close - 1);
}

bool is_low_surrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Whether every escape of a string body is one the nlohmann parser reads as it stands:
// a known letter, or \u with four hex digits that is no surrogate or a whole pair. Lone
// surrogates are left to the slow path, which reads some of them back as bytes.
bool has_plain_escapes(std::string_view body) {
  static constexpr std::string_view SIMPLE = "\"\\/bfnrt";
  for (std::size_t pos = body.find('\\'); pos != std::string_view::npos;
       pos = body.find('\\', pos)) {
    if (pos + 1 >= body.size()) return false;
    if (body[pos + 1] != 'u') {
      if (SIMPLE.find(body[pos + 1]) == std::string_view::npos) return false;
      pos += 2;
      continue;
    }
    const auto unit = hex_unit(body, pos + 2);
    if (!unit || is_low_surrogate(*unit)) return false;
    if (*unit >= 0xD800 && *unit <= 0xDBFF) {
      const auto low = body.substr(pos + 6, 2) == "\\u" ? hex_unit(body, pos + 8) : std::nullopt;
      if (!low || !is_low_surrogate(*low)) return false;
      pos += 12;
      continue;
    }
    pos += 6;
  }
  return true;
}

// Whether `text` is a JSON number; `integral` tells whether it has neither fraction nor
// exponent.
bool is_json_number(std::string_view text, bool& integral) {
  std::size_t pos = text.starts_with('-') ? 1 : 0;
  const auto digits = [&] {
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    return pos - start;
  };
  const std::size_t whole = pos;
  const std::size_t whole_digits = digits();
  if (whole_digits == 0 || (whole_digits > 1 && text[whole] == '0')) return false;
  integral = true;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    if (digits() == 0) return false;
    integral = false;
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (digits() == 0) return false;
    integral = false;
  }
  return pos == text.size();
}

template <typename Number>
bool convert(std::string_view text, Number& number) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// The value of the JSON number `text` as the nlohmann parser makes it: an integer with a
// minus sign is signed (even -0), one without is unsigned, and a fraction, an exponent
// or an integer too large for 64 bits makes a double. False for what is not a number and
// for doubles out of range, which the slow path reports or rounds to zero itself.
bool number_from_text(std::string_view text, Json& out) {
  bool integral = false;
  if (!is_json_number(text, integral)) return false;
  if (integral && text.starts_with('-')) {
    std::int64_t number = 0;
    if (convert(text, number)) {
      out = number;
      return true;
    }
  } else if (integral) {
    std::uint64_t number = 0;
    if (convert(text, number)) {
      out = number;
      return true;
    }
  }
  double number = 0;
  if (!convert(text, number)) return false;
  out = number;
  return true;
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
  // A key without escapes (nearly all) is viewed in the input; stage 1 has checked that
  // a closing quote follows. Others are unescaped by simdjson.
  static bool read_key(od::field& field, std::string_view& key) {
    const char* const start = field.key().raw();
    const char* end = start;
    while (*end != '"' && *end != '\\') ++end;
    if (*end == '"') {
      key = std::string_view(start, static_cast<std::size_t>(end - start));
      return true;
    }
    return field.unescaped_key().get(key) == simdjson::SUCCESS;
  }

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
  od::parser parser;
  od::document document;
  if (parser.iterate(text).get(document) != simdjson::SUCCESS) return std::nullopt;
  od::object root;
  if (document.get_object().get(root) != simdjson::SUCCESS) return std::nullopt;
  Json graph;
  if (!Reader(members, passed).read_object(root, graph, Place::root)) return std::nullopt;
  // Anything after the top-level map makes the text invalid.
  if (document.current_location().error() != simdjson::OUT_OF_BOUNDS) return std::nullopt;
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

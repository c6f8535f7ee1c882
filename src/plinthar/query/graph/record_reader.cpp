#include "plinthar/query/graph/record_reader.hpp"

// One On-Demand pass over the whole text: every value is checked as the general parser
// would check it, but only the members that ranking reads are kept, copied side by side
// into the records' arena (strings with escapes decoded). The span of every node
// and edge object is noted so that the chosen few can be parsed whole afterwards.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "plinthar/query/graph/json_tokens.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {

namespace {

namespace od = simdjson::ondemand;

// Calls `read_member(key, value)` for each member of `object` in order; false as soon as
// a member cannot be read or the callback answers false.
template <typename ReadMember>
bool read_members(od::object& object, ReadMember read_member) {
  for (auto field_result : object) {
    od::field field;
    std::string_view key;
    if (std::move(field_result).get(field) != simdjson::SUCCESS || !read_key(field, key) ||
        !read_member(key, field.value())) {
      return false;
    }
  }
  return true;
}

// How many lists and maps enclose the members of the top-level map, and those of a node
// or an edge.
constexpr std::size_t ROOT_DEPTH = 1;
constexpr std::size_t RECORD_DEPTH = 3;

class RecordReader {
 public:
  RecordReader(od::document& document, GraphRecords& records)
      : document_(document), records_(records) {}

  bool read_root(od::object& root) {
    bool seen_nodes = false;
    bool seen_edges = false;
    return read_members(root, [&](std::string_view key, od::value value) {
      if (key != "nodes" && key != "edges") return check_value(value, ROOT_DEPTH);
      bool& seen = key == "nodes" ? seen_nodes : seen_edges;
      if (seen) return false;
      seen = true;
      return key == "nodes" ? read_list(value, &RecordReader::read_node)
                            : read_list(value, &RecordReader::read_edge);
    });
  }

  std::vector<std::string_view> take_node_spans() { return std::move(node_spans_); }
  std::vector<std::string_view> take_edge_spans() { return std::move(edge_spans_); }

 private:
  using ObjectReader = bool (RecordReader::*)(od::object&);

  // A list of objects, each read by `read_object`, with the text span of each noted.
  bool read_list(od::value value, ObjectReader read_object) {
    od::array list;
    if (value.get_array().get(list) != simdjson::SUCCESS) return false;
    for (auto element_result : list) {
      od::value element;
      od::object object;
      if (std::move(element_result).get(element) != simdjson::SUCCESS) return false;
      const char* const start = element.raw_json_token().data();
      if (*start != '{' || element.get_object().get(object) != simdjson::SUCCESS ||
          !(this->*read_object)(object)) {
        return false;
      }
      if (!note_span(start, read_object == &RecordReader::read_node ? node_spans_ : edge_spans_)) {
        return false;
      }
    }
    return true;
  }

  // Notes the object that began at `start` and has just been read: it ends at the last
  // "}" before the token the reader now stands on.
  bool note_span(const char* start, std::vector<std::string_view>& spans) {
    const char* next = nullptr;
    if (document_.current_location().get(next) != simdjson::SUCCESS) return false;
    const char* end = next;
    while (end > start && end[-1] != '}') --end;
    if (end == start) return false;
    spans.emplace_back(start, static_cast<std::size_t>(end - start));
    return true;
  }

  bool read_node(od::object& object) {
    NodeRecord node;
    node.kind = "file";
    const bool read = read_members(object, [&](std::string_view key, od::value value) {
      if (key == "id") {
        node.id.present = true;
        return read_text(value, node.id.text);
      }
      if (key == "ext") return read_text(value, node.ext);
      if (key == "kind") return read_text(value, node.kind);
      if (key == "confidence") return read_text(value, node.confidence);
      if (key == "summary") return read_optional_text(value, node.summary);
      if (key == "keywords") return read_keywords(value, node.keywords);
      return check_value(value, RECORD_DEPTH);
    });
    if (!read) return false;
    node.id.text = gather(node.id.text);
    node.ext = gather(node.ext);
    node.kind = gather(node.kind);
    node.confidence = gather(node.confidence);
    node.summary = gather(node.summary);
    records_.nodes.push_back(node);
    return true;
  }

  bool read_edge(od::object& object) {
    EdgeRecord edge;
    const bool read = read_members(object, [&](std::string_view key, od::value value) {
      if (key == "from" || key == "to") {
        StoredMember& end = key == "from" ? edge.from : edge.to;
        end.present = true;
        return read_text(value, end.text);
      }
      if (key == "rel") return read_text(value, edge.rel);
      return check_value(value, RECORD_DEPTH);
    });
    if (!read) return false;
    edge.from.text = gather(edge.from.text);
    edge.to.text = gather(edge.to.text);
    edge.rel = gather(edge.rel);
    records_.edges.push_back(edge);
    return true;
  }

  // `text` where ranking reads it fast. Ranking visits every record, and views into the
  // file would send each visit to a different place of a large mapping (a cache miss
  // and a page-table walk each time); the few common values (kinds, relations,
  // extensions) share one copy, and all other texts are copied next to each other while
  // the file text is still in the cache.
  std::string_view gather(std::string_view text) {
    static constexpr std::string_view COMMON[] = {
        "file",     "symbol",   "high", "medium", "low",   "imports", "requires",
        "mentions", "contains", ".py",  ".ts",    ".tsx",  ".js",     ".jsx",
        ".go",      ".swift",   ".md",  ".json",  ".yaml", ".yml"};
    for (const std::string_view common : COMMON) {
      if (text == common) return common;
    }
    return records_.texts.keep(text);
  }

  // A string value: viewed in the text when it has no escapes, decoded otherwise.
  // Anything else is left to the general path.
  bool read_text(od::value value, std::string_view& text) {
    const std::string_view token = value.raw_json_token();
    const auto body = string_body(token);
    if (!body || !consume_string(value)) return false;
    if (body->find('\\') == std::string_view::npos) {
      text = *body;
      return true;
    }
    const auto decoded = text::try_parse_json(trim_token(token));
    if (!decoded || !decoded->is_string()) return false;
    text = records_.texts.keep(decoded->get_ref<const std::string&>());
    return true;
  }

  // A string, or null for none.
  bool read_optional_text(od::value value, std::string_view& text) {
    bool is_null = false;
    if (value.is_null().get(is_null) == simdjson::SUCCESS && is_null) {
      text = {};
      return true;
    }
    return read_text(value, text);
  }

  // A list of strings joined by single spaces, or null for none.
  bool read_keywords(od::value value, std::string_view& text) {
    bool is_null = false;
    if (value.is_null().get(is_null) == simdjson::SUCCESS && is_null) {
      text = {};
      return true;
    }
    od::array list;
    if (value.get_array().get(list) != simdjson::SUCCESS) return false;
    keywords_.clear();
    for (auto element_result : list) {
      od::value element;
      std::string_view keyword;
      if (std::move(element_result).get(element) != simdjson::SUCCESS ||
          !read_text(element, keyword)) {
        return false;
      }
      keywords_.push_back(keyword);
    }
    text = records_.texts.join(keywords_, ' ');
    return true;
  }

  // Whether the general parser would read `value`, which lies inside `depth` lists and
  // maps; nothing of it is kept. On-Demand does not limit the nesting itself.
  bool check_value(od::value value, std::size_t depth) {
    od::json_type type{};
    if (value.type().get(type) != simdjson::SUCCESS) return false;
    switch (type) {
      case od::json_type::string:
        return check_string(value.raw_json_token()) && consume_string(value);
      case od::json_type::number: {
        text::Json number;
        double ignored = 0;
        return number_from_text(trim_token(value.raw_json_token()), number) &&
               value.get_double().get(ignored) == simdjson::SUCCESS;
      }
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

  // Moves past a string whose token has been looked at. A value that is only looked at
  // stays unread, and On-Demand skips an unread value by counting brackets alone, so
  // that a stray ":" or "]" after it would pass unnoticed ({"a": "b": ]}).
  static bool consume_string(od::value& value) {
    od::raw_json_string ignored;
    return value.get_raw_json_string().get(ignored) == simdjson::SUCCESS;
  }

  // Stage 1 has checked the UTF-8 and the control characters of every string; only
  // escapes are left to check.
  static bool check_string(std::string_view token) {
    const auto body = string_body(token);
    if (!body) return false;
    return has_plain_escapes(*body) || text::try_parse_json(trim_token(token)).has_value();
  }

  bool check_object(od::value value, std::size_t depth) {
    od::object object;
    return value.get_object().get(object) == simdjson::SUCCESS &&
           read_members(object, [this, depth](std::string_view, od::value member) {
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

  od::document& document_;
  GraphRecords& records_;
  std::vector<std::string_view> keywords_;
  std::vector<std::string_view> node_spans_;
  std::vector<std::string_view> edge_spans_;
};

}  // namespace

std::optional<GraphRecords> read_graph_records(simdjson::padded_string_view text) {
  GraphRecords records;
  std::vector<std::string_view> node_spans;
  std::vector<std::string_view> edge_spans;
  const bool read = read_top_level_map(text, [&](od::document& document, od::object& root) {
    RecordReader reader(document, records);
    if (!reader.read_root(root)) return false;
    node_spans = reader.take_node_spans();
    edge_spans = reader.take_edge_spans();
    return true;
  });
  if (!read) return std::nullopt;
  const auto offsets = [&text](const std::vector<std::string_view>& spans) {
    std::vector<GraphSpan> out;
    out.reserve(spans.size());
    for (const std::string_view span : spans) {
      out.push_back({static_cast<std::uint64_t>(span.data() - text.data()), span.size()});
    }
    return out;
  };
  records.node_spans = offsets(node_spans);
  records.edge_spans = offsets(edge_spans);
  records.node_value = [spans = std::move(node_spans)](std::size_t index) {
    return text::parse_json(spans.at(index));
  };
  records.edge_value = [spans = std::move(edge_spans)](std::size_t index) {
    return text::parse_json(spans.at(index));
  };
  return records;
}

}  // namespace plinthar::query

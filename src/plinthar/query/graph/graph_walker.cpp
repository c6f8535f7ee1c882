#include "plinthar/query/graph/graph_walker.hpp"

// One On-Demand pass over the whole text. With a records sink every value is checked as
// the general parser would read it, but only the members that ranking reads are kept,
// copied side by side into the records' arena (strings with escapes decoded), and the
// span of every node and edge object is noted so that the chosen few can be parsed whole
// afterwards. With a statistics sink the members the statistics read are decoded into
// buffers reused from node to node and handed to the builder as each node ends.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plinthar/query/graph/json_tokens.hpp"
#include "plinthar/query/graph/value_checks.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {

namespace {

namespace od = simdjson::ondemand;

// How many lists and maps enclose the members of the top-level map, and those of a node
// or an edge.
constexpr std::size_t ROOT_DEPTH = 1;
constexpr std::size_t RECORD_DEPTH = 3;

// The members of the node being read that the statistics take.
struct StatsMembers {
  std::string id, kind, path, name, content;
  std::int64_t size = 0;
  std::vector<std::string> keywords;

  void clear() {
    id.clear();
    kind.clear();
    path.clear();
    name.clear();
    content.clear();
    size = 0;
    keywords.clear();
  }
};

class GraphWalker {
 public:
  GraphWalker(od::document& document, const GraphSinks& sinks)
      : document_(document), sinks_(sinks) {}

  bool read_root(od::object& root) {
    bool seen_nodes = false;
    bool seen_edges = false;
    return read_members(root, [&](std::string_view key, od::value value) {
      if (key == "root" && sinks_.root != nullptr) return read_root_member(value);
      if (key != "nodes" && key != "edges") return check_if_recording(value, ROOT_DEPTH);
      bool& seen = key == "nodes" ? seen_nodes : seen_edges;
      if (seen) return false;
      seen = true;
      return key == "nodes" ? read_list(value, &GraphWalker::read_node)
                            : read_list(value, &GraphWalker::read_edge);
    });
  }

  std::vector<std::string_view> take_node_spans() { return std::move(node_spans_); }
  std::vector<std::string_view> take_edge_spans() { return std::move(edge_spans_); }

 private:
  using ObjectReader = bool (GraphWalker::*)(od::object&);

  bool recording() const { return sinks_.records != nullptr; }

  // Without records nothing needs to be vouched for: values not read are skipped.
  bool check_if_recording(od::value value, std::size_t depth) {
    return !recording() || check_value(value, depth);
  }

  bool read_root_member(od::value value) {
    od::json_type type{};
    if (value.type().get(type) != simdjson::SUCCESS) return false;
    if (type != od::json_type::string) return check_if_recording(value, ROOT_DEPTH);
    std::string_view root;
    if (!read_string(value, root)) return false;
    *sinks_.root = std::string(root);
    return true;
  }

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
      if (recording() &&
          !note_span(start, read_object == &GraphWalker::read_node ? node_spans_ : edge_spans_)) {
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
    index::NodeRecord node;
    node.kind = "file";
    stats_.clear();
    bool kind_present = false;
    const bool read = read_members(object, [&](std::string_view key, od::value value) {
      if (key == "id") {
        node.id.present = true;
        return read_text(value, node.id.text);
      }
      if (key == "kind") {
        kind_present = true;
        return read_text(value, node.kind);
      }
      if (key == "keywords") return read_keywords(value, node.keywords);
      if (recording()) {
        if (key == "ext") return read_text(value, node.ext);
        if (key == "confidence") return read_text(value, node.confidence);
        if (key == "summary") return read_optional_text(value, node.summary);
      }
      if (sinks_.stats != nullptr) {
        if (key == "path") return read_stats_string(value, stats_.path);
        if (key == "name") return read_stats_string(value, stats_.name);
        if (key == "content") return read_stats_string(value, stats_.content);
        if (key == "size") return read_size(value);
      }
      return check_if_recording(value, RECORD_DEPTH);
    });
    if (!read) return false;
    if (sinks_.stats != nullptr) add_stats_node(node, kind_present);
    if (recording()) keep_node(node);
    return true;
  }

  void keep_node(index::NodeRecord& node) {
    node.id.text = gather(node.id.text);
    node.ext = gather(node.ext);
    node.kind = gather(node.kind);
    node.confidence = gather(node.confidence);
    node.summary = gather(node.summary);
    sinks_.records->nodes.push_back(node);
  }

  void add_stats_node(const index::NodeRecord& node, bool kind_present) {
    scanner::StatsNode stats{node.id.text,   kind_present ? node.kind : std::string_view(),
                             stats_.path,    stats_.name,
                             stats_.content, stats_.size,
                             keywords_};
    sinks_.stats->add_node(stats);
  }

  bool read_edge(od::object& object) {
    index::EdgeRecord edge;
    const bool read = read_members(object, [&](std::string_view key, od::value value) {
      if (key == "from" || key == "to") {
        index::StoredMember& end = key == "from" ? edge.from : edge.to;
        end.present = true;
        return read_text(value, end.text);
      }
      if (key == "rel") return read_text(value, edge.rel);
      return check_if_recording(value, RECORD_DEPTH);
    });
    if (!read) return false;
    if (sinks_.stats != nullptr) sinks_.stats->add_edge(edge.from.text, edge.to.text, edge.rel);
    if (recording()) {
      edge.from.text = gather(edge.from.text);
      edge.to.text = gather(edge.to.text);
      edge.rel = gather(edge.rel);
      sinks_.records->edges.push_back(edge);
    }
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
    return sinks_.records->texts.keep(text);
  }

  // A string value of a record member: viewed in the text when it has no escapes,
  // decoded otherwise (as the general parser decodes it when there are records to vouch
  // for). Anything else is left to the general path.
  bool read_text(od::value value, std::string_view& text) {
    if (!recording()) return read_string(value, text);
    const std::string_view token = value.raw_json_token();
    const auto body = string_body(token);
    if (!body || !consume_string(value)) return false;
    if (body->find('\\') == std::string_view::npos) {
      text = *body;
      return true;
    }
    const auto decoded = text::try_parse_json(trim_token(token));
    if (!decoded || !decoded->is_string()) return false;
    text = sinks_.records->texts.keep(decoded->get_ref<const std::string&>());
    return true;
  }

  // A string decoded by On-Demand, viewed in the document's string buffer.
  static bool read_string(od::value value, std::string_view& text) {
    return value.get_string().get(text) == simdjson::SUCCESS;
  }

  // A string member only the statistics read, copied: the parser reuses its buffer.
  bool read_stats_string(od::value value, std::string& out) {
    if (recording() && !check_string(value.raw_json_token())) return false;
    std::string_view text;
    if (!read_string(value, text)) return false;
    out.assign(text);
    return true;
  }

  bool read_size(od::value value) {
    if (recording() && !check_number(value)) return false;
    return value.get_int64().get(stats_.size) == simdjson::SUCCESS;
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

  // A list of strings joined by single spaces, or null for none; the list itself is left
  // in keywords_.
  bool read_keywords(od::value value, std::string_view& text) {
    keywords_.clear();
    bool is_null = false;
    if (value.is_null().get(is_null) == simdjson::SUCCESS && is_null) {
      text = {};
      return sinks_.stats == nullptr;  // the statistics read lists only
    }
    od::array list;
    if (value.get_array().get(list) != simdjson::SUCCESS) return false;
    for (auto element_result : list) {
      od::value element;
      if (std::move(element_result).get(element) != simdjson::SUCCESS || !read_keyword(element)) {
        return false;
      }
    }
    if (recording()) {
      text = sinks_.records->texts.join(keywords_, ' ');
    } else {
      keywords_.assign(stats_.keywords.begin(), stats_.keywords.end());
    }
    return true;
  }

  // Without records, each keyword is copied: the parser reuses its buffer.
  bool read_keyword(od::value element) {
    std::string_view keyword;
    if (recording()) {
      if (!read_text(element, keyword)) return false;
      keywords_.push_back(keyword);
      return true;
    }
    if (!read_string(element, keyword)) return false;
    stats_.keywords.emplace_back(keyword);
    return true;
  }

  od::document& document_;
  const GraphSinks& sinks_;
  StatsMembers stats_;
  std::vector<std::string_view> keywords_;
  std::vector<std::string_view> node_spans_;
  std::vector<std::string_view> edge_spans_;
};

std::vector<index::GraphSpan> offsets_in(simdjson::padded_string_view text,
                                         const std::vector<std::string_view>& spans) {
  std::vector<index::GraphSpan> out;
  out.reserve(spans.size());
  for (const std::string_view span : spans) {
    out.push_back({static_cast<std::uint64_t>(span.data() - text.data()), span.size()});
  }
  return out;
}

}  // namespace

bool walk_graph_text(simdjson::padded_string_view text, const GraphSinks& sinks) {
  return read_top_level_map(text, [&](od::document& document, od::object& root) {
    GraphWalker walker(document, sinks);
    if (!walker.read_root(root)) return false;
    if (sinks.records != nullptr) {
      sinks.records->node_spans = offsets_in(text, walker.take_node_spans());
      sinks.records->edge_spans = offsets_in(text, walker.take_edge_spans());
    }
    return true;
  });
}

std::optional<index::GraphRecords> read_graph_records(simdjson::padded_string_view text) {
  index::GraphRecords records;
  if (!walk_graph_text(text, {&records, nullptr, nullptr})) return std::nullopt;
  const std::string_view whole(text.data(), text.size());
  const auto reader = [whole](const std::vector<index::GraphSpan>& spans) {
    return [whole, spans](std::size_t index) {
      const index::GraphSpan& span = spans.at(index);
      return text::parse_json(whole.substr(span.offset, span.length));
    };
  };
  records.node_value = reader(records.node_spans);
  records.edge_value = reader(records.edge_spans);
  return records;
}

}  // namespace plinthar::query

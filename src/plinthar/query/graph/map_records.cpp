#include "plinthar/query/graph/map_records.hpp"

#include <string>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/text_arena.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {

namespace {

[[noreturn]] void type_error(std::string_view member, std::string_view expected,
                             const text::Json& actual) {
  throw Error("member \"" + std::string(member) + "\": Expected " + std::string(expected) +
              ", got " + std::string(type_name_in_messages(actual)));
}

// The text form of `value`: the string itself, or its compact JSON kept by `texts`.
std::string_view value_text(const text::Json& value, text::TextArena& texts) {
  if (value.is_string()) return value.get_ref<const std::string&>();
  return texts.keep(text::to_compact(value));
}

std::string_view member_text_or(const text::Json& map, std::string_view key, text::TextArena& texts,
                                std::string_view fallback = "") {
  const text::Json* value = find_member(map, key);
  return value == nullptr ? fallback : value_text(*value, texts);
}

index::StoredMember stored_member(const text::Json& map, std::string_view key,
                                  text::TextArena& texts) {
  const text::Json* value = find_member(map, key);
  if (value == nullptr) return {};
  return {value_text(*value, texts), value->is_string() ? nullptr : value, true};
}

// The keyword list joined by single spaces; "" when missing or null.
std::string_view keyword_text(const text::Json* keywords, text::TextArena& texts) {
  if (keywords == nullptr || keywords->is_null()) return {};
  std::vector<std::string_view> parts;
  parts.reserve(keywords->size());
  for (const text::Json& keyword : *keywords) {
    if (!keyword.is_string()) type_error("keywords", "str", keyword);
    parts.emplace_back(keyword.get_ref<const std::string&>());
  }
  return texts.join(parts, ' ');
}

std::string_view summary_text(const text::Json& node) {
  const text::Json* summary = find_member(node, "summary");
  if (summary == nullptr || summary->is_null()) return {};
  if (!summary->is_string()) type_error("summary", "str", *summary);
  return summary->get_ref<const std::string&>();
}

const text::Json& list_member(const text::Json& graph, std::string_view key) {
  static const text::Json EMPTY = text::Json::array();
  const text::Json* list = find_member(graph, key);
  if (list == nullptr) return EMPTY;
  if (!list->is_array()) throw Error("graph member \"" + std::string(key) + "\" is not a list");
  return *list;
}

index::EdgeRecord edge_record(const text::Json& edge, text::TextArena& texts) {
  if (!edge.is_object()) throw Error("graph edge is not an object");
  index::EdgeRecord record;
  record.from = stored_member(edge, "from", texts);
  record.to = stored_member(edge, "to", texts);
  record.rel = member_text_or(edge, "rel", texts);
  return record;
}

// Where the node at `index` of the node list stands, for a diagnostic: `node 3 ("id")`,
// or `node 3` when it has no string id.
std::string node_location(const text::Json& node, std::size_t index) {
  std::string location = "node " + std::to_string(index);
  const text::Json* id = node.is_object() ? find_member(node, "id") : nullptr;
  if (id != nullptr && id->is_string()) {
    location += " (" + text::to_compact(*id) + ")";
  }
  return location;
}

std::string text_member(const Json& map, const char* key) {
  const auto found = map.find(key);
  return found != map.end() && found->is_string() ? found->get<std::string>() : std::string();
}

void feed_stats(const Json& graph, scanner::TermStatsBuilder& stats) {
  const auto nodes = graph.find("nodes");
  if (nodes != graph.end() && nodes->is_array()) {
    for (const Json& node : *nodes) stats.add_node(scanner::stats_node_of(node));
  }
  const auto edges = graph.find("edges");
  if (edges == graph.end() || !edges->is_array()) return;
  for (const Json& edge : *edges) {
    if (edge.is_object()) {
      stats.add_edge(text_member(edge, "from"), text_member(edge, "to"), text_member(edge, "rel"));
    } else {
      stats.add_edge("", "", "");
    }
  }
}

}  // namespace

Json parse_graph(std::string_view bytes, const std::filesystem::path& path) {
  Json graph;
  try {
    graph = text::parse_json(bytes);
  } catch (const Error& error) {
    if (!text::is_valid_utf8(bytes)) throw Error(path.string() + " is not valid UTF-8");
    throw Error("cannot parse " + path.string() + ": " + error.what());
  }
  if (!graph.is_object()) {
    throw Error("Expected dict, got " + std::string(type_name_in_messages(graph)));
  }
  return graph;
}

void walk_graph_map(const Json& graph, const GraphSinks& sinks) {
  if (sinks.records != nullptr) *sinks.records = records_of(graph);
  if (sinks.stats != nullptr) feed_stats(graph, *sinks.stats);
  if (sinks.root != nullptr) {
    const auto root = graph.find("root");
    if (root != graph.end() && root->is_string()) *sinks.root = root->get<std::string>();
  }
}

index::NodeRecord node_record(const text::Json& node, text::TextArena& texts) {
  if (!node.is_object()) throw Error("graph node is not an object");
  index::NodeRecord record;
  record.id = stored_member(node, "id", texts);
  record.ext = member_text_or(node, "ext", texts);
  record.kind = member_text_or(node, "kind", texts, "file");
  record.confidence = member_text_or(node, "confidence", texts);
  const text::Json* keywords = find_member(node, "keywords");
  if (keywords != nullptr && !keywords->is_null() && !keywords->is_array()) {
    type_error("keywords", "list", *keywords);
  }
  record.summary = summary_text(node);
  record.keywords = keyword_text(keywords, texts);
  return record;
}

index::GraphRecords records_of(const text::Json& graph) {
  if (!graph.is_object()) throw Error("graph is not a JSON object");
  const text::Json& nodes = list_member(graph, "nodes");
  const text::Json& edges = list_member(graph, "edges");
  index::GraphRecords records;
  records.edges.reserve(edges.size());
  for (std::size_t i = 0; i < edges.size(); ++i) {
    try {
      records.edges.push_back(edge_record(edges[i], records.texts));
    } catch (const Error& error) {
      throw Error("edge " + std::to_string(i) + ": " + error.what());
    }
  }
  records.nodes.reserve(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    try {
      records.nodes.push_back(node_record(nodes[i], records.texts));
    } catch (const Error& error) {
      throw Error(node_location(nodes[i], i) + ": " + error.what());
    }
  }
  records.node_value = [&nodes](std::size_t index) { return nodes[index]; };
  records.edge_value = [&edges](std::size_t index) { return edges[index]; };
  return records;
}

}  // namespace plinthar::query

#include "plinthar/query/graph/graph_records.hpp"

#include <string>

#include "plinthar/error.hpp"
#include "plinthar/query/graph/member_text.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/text_arena.hpp"

namespace plinthar::query {

namespace {

[[noreturn]] void type_error(std::string_view member, std::string_view expected,
                             const text::Json& actual) {
  throw Error("member \"" + std::string(member) + "\": Expected " + std::string(expected) +
              ", got " + std::string(json_kind_name(actual)));
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

StoredMember stored_member(const text::Json& map, std::string_view key, text::TextArena& texts) {
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

EdgeRecord edge_record(const text::Json& edge, text::TextArena& texts) {
  if (!edge.is_object()) throw Error("graph edge is not an object");
  EdgeRecord record;
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

}  // namespace

NodeRecord node_record(const text::Json& node, text::TextArena& texts) {
  if (!node.is_object()) throw Error("graph node is not an object");
  NodeRecord record;
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

GraphRecords records_of(const text::Json& graph) {
  if (!graph.is_object()) throw Error("graph is not a JSON object");
  const text::Json& nodes = list_member(graph, "nodes");
  const text::Json& edges = list_member(graph, "edges");
  GraphRecords records;
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

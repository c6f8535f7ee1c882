#include "plinthar/scanner/graph.hpp"

#include <unordered_set>

#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::scanner {

namespace fs = std::filesystem;

namespace {

// A string member's value: copied from a const node, moved out of one about to go.
text::Json string_value(const std::string& text) { return text; }
text::Json string_value(std::string&& text) { return std::move(text); }

text::Json keywords_value(const std::vector<std::string>& keywords) { return keywords; }
text::Json keywords_value(std::vector<std::string>&& keywords) {
  text::Json out = text::Json::array();
  auto& items = out.get_ref<text::Json::array_t&>();
  items.reserve(keywords.size());
  for (std::string& keyword : keywords) items.emplace_back(std::move(keyword));
  return out;
}

// Appends the member `key` to an object whose room was reserved. Appending directly
// skips the lookup that operator[] makes through the members so far.
void append_member(text::Json::object_t& members, const char* key, text::Json value) {
  members.emplace_back(key, std::move(value));
}

// Shared by the copying and the moving form: `NodeRef` is const Node& or Node&&.
template <typename NodeRef>
text::Json node_dict(NodeRef&& node) {
  text::Json out = text::Json::object();
  auto& members = out.get_ref<text::Json::object_t&>();
  // Members cannot be moved when the ordered object grows (their keys are const), so
  // room for all of them is made first; otherwise "content" is copied on every growth.
  const bool is_file = node.kind == "file";
  members.reserve(is_file ? 9 : 13);
  append_member(members, "id", string_value(std::forward<NodeRef>(node).id));
  append_member(members, "kind", string_value(std::forward<NodeRef>(node).kind));
  append_member(members, "path", string_value(std::forward<NodeRef>(node).path));
  append_member(members, "ext", string_value(std::forward<NodeRef>(node).ext));
  append_member(members, "size", node.size);
  append_member(members, "keywords", keywords_value(std::forward<NodeRef>(node).keywords));
  if (is_file) {
    append_member(members, "content", string_value(std::forward<NodeRef>(node).content));
    append_member(members, "summary", string_value(std::forward<NodeRef>(node).summary));
    append_member(members, "file_hash", string_value(std::forward<NodeRef>(node).file_hash));
    return out;
  }
  append_member(members, "symbol_type", string_value(std::forward<NodeRef>(node).symbol_type));
  append_member(members, "name", string_value(std::forward<NodeRef>(node).name));
  append_member(members, "line_start", node.line_start);
  append_member(members, "line_end", node.line_end);
  append_member(members, "body_hash", string_value(std::forward<NodeRef>(node).body_hash));
  append_member(members, "confidence", string_value(std::forward<NodeRef>(node).confidence));
  append_member(members, "exported", node.exported);
  return out;
}

template <typename EdgeRef>
text::Json edge_dict(EdgeRef&& edge) {
  text::Json out = text::Json::object();
  auto& members = out.get_ref<text::Json::object_t&>();
  members.reserve(3);
  append_member(members, "from", string_value(std::forward<EdgeRef>(edge).from));
  append_member(members, "to", string_value(std::forward<EdgeRef>(edge).to));
  append_member(members, "rel", string_value(std::forward<EdgeRef>(edge).rel));
  return out;
}

}  // namespace

text::Json as_dict(const Node& node) { return node_dict(node); }
text::Json as_dict(Node&& node) { return node_dict(std::move(node)); }

text::Json to_json(const Edge& edge) { return edge_dict(edge); }
text::Json to_json(Edge&& edge) { return edge_dict(std::move(edge)); }

text::Json to_json(const SymbolRecord& symbol) {
  text::Json out = text::Json::object();
  out["id"] = symbol.id;
  out["name"] = symbol.name;
  out["symbol_type"] = symbol.symbol_type;
  out["line_start"] = symbol.line_start;
  out["line_end"] = symbol.line_end;
  out["body_hash"] = symbol.body_hash;
  out["confidence"] = symbol.confidence;
  out["exported"] = symbol.exported;
  out["keywords"] = symbol.keywords;
  return out;
}

std::string rel(const fs::path& path, const fs::path& root) {
  return relative_file_id(text::resolve_path(path), text::resolve_path(root));
}

std::string relative_file_id(const fs::path& p, const fs::path& r) {
  fs::path relative = p.lexically_relative(r);
  if (relative.empty()) relative = p;  // only for mixed relative/absolute input
  std::string out;
  for (const auto& component : relative) {
    if (component.empty()) continue;
    if (!out.empty()) out.push_back('/');
    out += component.string();
  }
  return out.empty() ? "." : out;
}

namespace {

struct EdgeHash {
  std::size_t operator()(const Edge& edge) const {
    const std::hash<std::string> hash;
    std::size_t seed = hash(edge.from);
    seed ^= hash(edge.to) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    seed ^= hash(edge.rel) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
  }
};

}  // namespace

namespace {

// Indexes of the first occurrence of each (from, to, rel) triple, in order. The set
// holds indexes into `edges`, so no edge is copied to find them.
std::vector<std::size_t> first_occurrences(const std::vector<Edge>& edges) {
  const auto hash = [&edges](std::size_t i) { return EdgeHash{}(edges[i]); };
  const auto equal = [&edges](std::size_t a, std::size_t b) { return edges[a] == edges[b]; };
  std::unordered_set<std::size_t, decltype(hash), decltype(equal)> seen(edges.size(), hash, equal);
  std::vector<std::size_t> kept;
  kept.reserve(edges.size());
  for (std::size_t i = 0; i < edges.size(); ++i) {
    if (seen.insert(i).second) kept.push_back(i);
  }
  return kept;
}

}  // namespace

std::vector<Edge> dedupe_edges(const std::vector<Edge>& edges) {
  std::vector<Edge> out;
  for (const std::size_t i : first_occurrences(edges)) out.push_back(edges[i]);
  return out;
}

std::vector<Edge> dedupe_edges(std::vector<Edge>&& edges) {
  const std::vector<std::size_t> kept = first_occurrences(edges);
  std::vector<Edge> out;
  out.reserve(kept.size());
  // Each index is taken once, and the set is done with the edges before any is moved.
  for (const std::size_t i : kept) out.push_back(std::move(edges[i]));
  return out;
}

}  // namespace plinthar::scanner

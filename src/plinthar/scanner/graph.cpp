#include "plinthar/scanner/graph.hpp"

#include <cstdlib>
#include <unordered_set>

#include <stdlib.h>

namespace plinthar::scanner {
namespace fs = std::filesystem;

Json as_dict(const Node& node) {
  Json out = Json::object();
  // Members cannot be moved when the ordered object grows (their keys are const), so
  // room for all of them is made first; otherwise "content" is copied on every growth.
  out.get_ref<Json::object_t&>().reserve(node.kind == "file" ? 9 : 13);
  out["id"] = node.id;
  out["kind"] = node.kind;
  out["path"] = node.path;
  out["ext"] = node.ext;
  out["size"] = node.size;
  out["keywords"] = node.keywords;
  if (node.kind == "file") {
    out["content"] = node.content;
    out["summary"] = node.summary;
    out["file_hash"] = node.file_hash;
    return out;
  }
  out["symbol_type"] = node.symbol_type;
  out["name"] = node.name;
  out["line_start"] = node.line_start;
  out["line_end"] = node.line_end;
  out["body_hash"] = node.body_hash;
  out["confidence"] = node.confidence;
  out["exported"] = node.exported;
  return out;
}

Json to_json(const Edge& edge) {
  Json out = Json::object();
  out["from"] = edge.from;
  out["to"] = edge.to;
  out["rel"] = edge.rel;
  return out;
}

Json to_json(const SymbolRecord& symbol) {
  Json out = Json::object();
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

fs::path resolve_path(const fs::path& path) {
  // realpath() is the quick way for a path that exists, which is every scanned file.
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    fs::path out(resolved);
    std::free(resolved);
    return out;
  }
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path resolved = fs::weakly_canonical(absolute, error);
  if (error) return absolute.lexically_normal();
  return resolved;
}

std::string rel(const fs::path& path, const fs::path& root) {
  return relative_file_id(resolve_path(path), resolve_path(root));
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

std::vector<Edge> dedupe_edges(const std::vector<Edge>& edges) {
  std::unordered_set<Edge, EdgeHash> seen;
  seen.reserve(edges.size());
  std::vector<Edge> out;
  out.reserve(edges.size());
  for (const Edge& edge : edges) {
    if (seen.insert(edge).second) out.push_back(edge);
  }
  return out;
}

}  // namespace plinthar::scanner

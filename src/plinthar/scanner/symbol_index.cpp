#include "plinthar/scanner/symbol_index.hpp"

// The index is written straight from the graph's nodes: building it as a JSON object
// first would copy every id and path once more and grow a 40,000-member object, only
// to print it and throw it away.

#include <string_view>
#include <unordered_map>
#include <vector>

namespace plinthar::scanner {
namespace {

void write_member(std::string_view key, const Json& value, std::string& out) {
  write_json_string(key, out);
  out += ": ";
  write_compact(value, out);
}

void write_entry(const Json& node, std::string& out) {
  out.push_back('{');
  write_member("line_start", node["line_start"], out);
  out += ", ";
  write_member("line_end", node["line_end"], out);
  out += ", ";
  write_member("body_hash", node["body_hash"], out);
  out += ", ";
  const auto confidence = node.find("confidence");
  write_member("confidence", confidence == node.end() ? Json("") : *confidence, out);
  out += ", ";
  write_member("path", node["path"], out);
  out.push_back('}');
}

}  // namespace

std::size_t write_symbol_index(const Json& graph, std::string& out) {
  // The last node of each id, in the order the ids first appear.
  std::vector<const Json*> entries;
  std::unordered_map<std::string_view, std::size_t> position;
  for (const Json& node : graph["nodes"]) {
    if (node["kind"] != "symbol") continue;
    const std::string& id = node["id"].get_ref<const std::string&>();
    const auto [at, inserted] = position.try_emplace(id, entries.size());
    if (inserted) {
      entries.push_back(&node);
    } else {
      entries[at->second] = &node;
    }
  }
  out.push_back('{');
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) out += ", ";
    write_json_string((*entries[i])["id"].get_ref<const std::string&>(), out);
    out += ": ";
    write_entry(*entries[i], out);
  }
  out.push_back('}');
  return entries.size();
}

}  // namespace plinthar::scanner

#include "plinthar/scanner/symbol_index.hpp"

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

// The index is written straight from what it keeps of each node: building it as a JSON
// object first would copy every id and path once more and grow a 40,000-member object,
// only to print it and throw it away.

#include <string_view>

namespace plinthar::scanner {

namespace {

void write_member(std::string_view key, const text::Json& value, std::string& out) {
  text::write_json_string(key, out);
  out += ": ";
  text::write_compact(value, out);
}

}  // namespace

void SymbolIndex::add(const text::Json& node) {
  if (node["kind"] != "symbol") return;
  const std::string& id = node["id"].get_ref<const std::string&>();
  const auto confidence = node.find("confidence");
  Entry entry{id,
              node["line_start"],
              node["line_end"],
              node["body_hash"],
              confidence == node.end() ? text::Json("") : *confidence,
              node["path"]};
  const auto [at, inserted] = position_.try_emplace(id, entries_.size());
  if (inserted) {
    entries_.push_back(std::move(entry));
  } else {
    entries_[at->second] = std::move(entry);
  }
}

void SymbolIndex::write(std::string& out) const {
  out.push_back('{');
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (i > 0) out += ", ";
    text::write_json_string(entry.id, out);
    out += ": {";
    write_member("line_start", entry.line_start, out);
    out += ", ";
    write_member("line_end", entry.line_end, out);
    out += ", ";
    write_member("body_hash", entry.body_hash, out);
    out += ", ";
    write_member("confidence", entry.confidence, out);
    out += ", ";
    write_member("path", entry.path, out);
    out.push_back('}');
  }
  out.push_back('}');
}

std::size_t write_symbol_index(const text::Json& graph, std::string& out) {
  SymbolIndex index;
  for (const text::Json& node : graph["nodes"]) index.add(node);
  index.write(out);
  return index.size();
}

}  // namespace plinthar::scanner

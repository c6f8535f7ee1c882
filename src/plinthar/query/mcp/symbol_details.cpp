#include "plinthar/query/mcp/symbol_details.hpp"

#include "plinthar/query/mcp/graph_lookups.hpp"
#include "plinthar/text/escapes.hpp"

namespace plinthar::query::mcp {
namespace {

std::optional<std::string> text_member(const Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

std::optional<std::int64_t> integer_member(const Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_number_integer()) return std::nullopt;
  return found->get<std::int64_t>();
}

template <typename T>
Json or_null(const std::optional<T>& value) {
  return value ? Json(*value) : Json();
}

// A line index of the graph (counting from 0) as editors number lines.
std::optional<std::int64_t> line_number(const std::optional<std::int64_t>& index) {
  if (!index || *index < 0) return std::nullopt;
  return *index + 1;
}

std::string line_range(const SymbolDetails& symbol) {
  const auto first = line_number(symbol.line_start);
  if (!first) return "";
  std::string range = ":" + std::to_string(*first);
  if (const auto last = line_number(symbol.line_end); last && *last != *first) {
    range += "-" + std::to_string(*last);
  }
  return range;
}

}  // namespace

SymbolDetails symbol_details(const Json& node) {
  SymbolDetails symbol;
  symbol.id = text_member(node, "id").value_or("");
  const std::size_t colons = symbol.id.rfind("::");
  symbol.path =
      text_member(node, "path")
          .value_or(colons == std::string::npos ? std::string() : symbol.id.substr(0, colons));
  symbol.name = text_member(node, "name").value_or(std::string(symbol_name(symbol.id)));
  symbol.symbol_type = text_member(node, "symbol_type");
  symbol.line_start = integer_member(node, "line_start");
  symbol.line_end = integer_member(node, "line_end");
  if (const auto exported = node.find("exported");
      exported != node.end() && exported->is_boolean()) {
    symbol.exported = exported->get<bool>();
  }
  return symbol;
}

Json symbol_json(const SymbolDetails& symbol) {
  Json out = Json::object();
  out["id"] = symbol.id;
  out["path"] = symbol.path;
  out["name"] = symbol.name;
  out["symbol_type"] = or_null(symbol.symbol_type);
  out["first_line"] = or_null(line_number(symbol.line_start));
  out["last_line"] = or_null(line_number(symbol.line_end));
  out["exported"] = or_null(symbol.exported);
  return out;
}

std::string symbol_line(const SymbolDetails& symbol) {
  std::string line = text::one_line(symbol.path) + line_range(symbol) + " ";
  if (symbol.symbol_type) line += text::one_line(*symbol.symbol_type) + " ";
  line += text::one_line(symbol.name);
  if (symbol.exported.value_or(false)) line += " (exported)";
  return line;
}

}  // namespace plinthar::query::mcp

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

std::string line_range(const SymbolDetails& symbol) {
  if (!symbol.line_start) return "";
  std::string range = ":" + std::to_string(*symbol.line_start);
  if (symbol.line_end && *symbol.line_end != *symbol.line_start) {
    range += "-" + std::to_string(*symbol.line_end);
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
  out["line_start"] = or_null(symbol.line_start);
  out["line_end"] = or_null(symbol.line_end);
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

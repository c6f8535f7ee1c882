#pragma once

// What a symbol node says of its definition, read from the node as stored (ranking's
// records keep only its id, kind and keywords).

#include <cstdint>
#include <optional>
#include <string>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

struct SymbolDetails {
  std::string id;
  std::string path;
  std::string name;
  std::optional<std::string> symbol_type;
  std::optional<std::int64_t> line_start;  // as the graph counts lines: from 0
  std::optional<std::int64_t> line_end;
  std::optional<bool> exported;
};

// The details of the symbol node `node`; members of another type than the scanner
// writes count as absent, and a missing path or name is taken from the id.
SymbolDetails symbol_details(const Json& node);

// The symbol as the tools give it: id, path, name, symbol_type, first_line and
// last_line (counting from 1, as editors number lines) and exported, null where the node
// has none.
Json symbol_json(const SymbolDetails& symbol);

// "api/orders.py:11-15 function cancel_order (exported)": one line for text output,
// lines counted from 1.
std::string symbol_line(const SymbolDetails& symbol);

}  // namespace plinthar::query::mcp

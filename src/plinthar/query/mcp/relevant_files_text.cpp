#include "plinthar/query/mcp/relevant_files_text.hpp"

#include <vector>

#include "plinthar/text/escapes.hpp"

namespace plinthar::query::mcp {
namespace {

std::string line_words(const Json& symbol) {
  if (!symbol["first_line"].is_number_integer()) return "";
  const auto first = symbol["first_line"].get<std::int64_t>();
  const auto last =
      symbol["last_line"].is_number_integer() ? symbol["last_line"].get<std::int64_t>() : first;
  if (last == first) return "line " + std::to_string(first);
  return "lines " + std::to_string(first) + "-" + std::to_string(last);
}

// "cancelOrder (function, lines 12-20, exported)".
std::string symbol_brief(const Json& symbol) {
  std::vector<std::string> details;
  if (symbol["symbol_type"].is_string())
    details.push_back(symbol["symbol_type"].get<std::string>());
  if (std::string lines = line_words(symbol); !lines.empty()) details.push_back(std::move(lines));
  if (symbol["exported"] == true) details.push_back("exported");
  std::string text = symbol["name"].get<std::string>();
  for (std::size_t i = 0; i < details.size(); ++i) text += (i == 0 ? " (" : ", ") + details[i];
  return text::one_line(details.empty() ? text : text + ")");
}

}  // namespace

std::string relevant_files_text(const Json& structured) {
  const Json& files = structured["files"];
  if (files.empty()) return "No file of the project matches the task.\n";
  std::string text = "Files for the task, best first:\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Json& file = files[i];
    text += std::to_string(i + 1) + ". " + text::one_line(file["path"].get<std::string>()) + "\n";
    for (const Json& reason : file["reasons"]) {
      text += "   - " + text::one_line(reason.get<std::string>()) + "\n";
    }
    std::string symbols;
    for (const Json& symbol : file["symbols"]) {
      symbols += (symbols.empty() ? "" : "; ") + symbol_brief(symbol);
    }
    if (!symbols.empty()) text += "   symbols: " + symbols + "\n";
  }
  return text;
}

}  // namespace plinthar::query::mcp

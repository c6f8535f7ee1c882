#include "plinthar/query/mcp/find_symbol_tool.hpp"

#include <vector>

#include "plinthar/text/escapes.hpp"

namespace plinthar::query::mcp {
namespace {

struct Definitions {
  std::vector<std::uint32_t> nodes;
  bool exact_case = true;
};

// The symbol with the id `id` ("path::name"), looked up among its file's symbols.
std::vector<std::uint32_t> symbols_with_id(LoadedProject& project, std::string_view id) {
  std::vector<std::uint32_t> found;
  const auto file = project.lookups().file_of(id.substr(0, id.rfind("::")));
  if (!file) return found;
  for (const std::uint32_t node : project.lookups().symbols_of(*file)) {
    if (project.records().nodes[node].id.text == id) found.push_back(node);
  }
  return found;
}

Definitions definitions(LoadedProject& project, const std::string& name) {
  if (name.find("::") != std::string::npos) return {symbols_with_id(project, name), true};
  const auto exact = project.lookups().symbols_named(name);
  if (!exact.empty()) return {{exact.begin(), exact.end()}, true};
  const auto any_case = project.lookups().symbols_named_in_any_case(name);
  return {{any_case.begin(), any_case.end()}, false};
}

std::string definitions_text(const std::string& name, const Definitions& found, const Json& listed,
                             LoadedProject& project) {
  if (found.nodes.empty())
    return "No symbol named \"" + text::one_line(name) + "\" in the graph.\n";
  std::string text = std::to_string(found.nodes.size()) + " definition" +
                     (found.nodes.size() == 1 ? "" : "s") + " of \"" + text::one_line(name) + "\"" +
                     (found.exact_case ? "" : " (in another case)") + ":\n";
  for (std::size_t i = 0; i < listed.size(); ++i) {
    text += "- " + symbol_line(project.symbol(found.nodes[i])) + "\n";
  }
  if (listed.size() < found.nodes.size()) {
    text += "(" + std::to_string(found.nodes.size() - listed.size()) + " more not listed)\n";
  }
  return text;
}

}  // namespace

ToolResult find_symbol_tool(ProjectSession& session, const ToolArguments& arguments) {
  const std::string name = arguments.text("name");
  const auto limit = static_cast<std::size_t>(arguments.integer("limit"));
  LoadedProject& project = session.project();
  const Definitions found = definitions(project, name);
  Json listed = Json::array();
  for (std::size_t i = 0; i < found.nodes.size() && i < limit; ++i) {
    listed.push_back(symbol_json(project.symbol(found.nodes[i])));
  }
  std::string text = definitions_text(name, found, listed, project);
  Json structured = Json::object();
  structured["name"] = name;
  structured["exact_case"] = found.exact_case;
  structured["total"] = found.nodes.size();
  structured["definitions"] = std::move(listed);
  return {std::move(text), std::move(structured), false};
}

}  // namespace plinthar::query::mcp

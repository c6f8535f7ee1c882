#include "plinthar/query/mcp/neighbours_tool.hpp"

#include "plinthar/error.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query::mcp {
namespace fs = std::filesystem;
namespace {

// The file the tool is asked about; throws plinthar::Error naming it when the graph has
// no such file.
std::uint32_t asked_file(LoadedProject& project, const std::string& path, const fs::path& root) {
  if (const auto file = project.lookups().file_of(path)) return *file;
  if (const auto file = project.lookups().file_of(file_id_for(path, root))) return *file;
  throw Error("no file \"" + path + "\" in the graph of " + root.string() +
              " (give its path from the project root)");
}

Json outgoing_json(LoadedProject& project, std::uint32_t edge) {
  const index::EdgeRecord& record = project.records().edges[edge];
  const std::uint32_t target = project.stats().edge_target(edge);
  Json entry = Json::object();
  entry["rel"] = std::string(record.rel);
  entry["target"] = std::string(record.to.text);
  entry["file"] =
      target == index::NO_FILE
          ? Json()
          : Json(std::string(project.lookups().file_id(project.stats().canonical(target))));
  return entry;
}

Json incoming_json(LoadedProject& project, std::uint32_t edge) {
  const index::EdgeRecord& record = project.records().edges[edge];
  Json entry = Json::object();
  entry["rel"] = std::string(record.rel);
  entry["file"] = std::string(record.from.text);
  return entry;
}

template <typename Describe>
Json first_entries(std::span<const std::uint32_t> edges, std::size_t limit, Describe describe) {
  Json entries = Json::array();
  for (std::size_t i = 0; i < edges.size() && i < limit; ++i) entries.push_back(describe(edges[i]));
  return entries;
}

std::string outgoing_line(const Json& entry) {
  std::string line = "- " + text::one_line(entry["rel"].get<std::string>()) + " " +
                     text::one_line(entry["target"].get<std::string>());
  if (entry["file"].is_string() && entry["file"] != entry["target"]) {
    line += " (" + text::one_line(entry["file"].get<std::string>()) + ")";
  }
  return line + "\n";
}

std::string incoming_line(const Json& entry) {
  return "- " + text::one_line(entry["file"].get<std::string>()) + " " +
         text::one_line(entry["rel"].get<std::string>()) + " it\n";
}

// "(3 more)" when the list stops short of the total.
std::string rest_line(const Json& listed, const Json& total) {
  const std::size_t rest = total.get<std::size_t>() - listed.size();
  return rest == 0 ? "" : "- (" + std::to_string(rest) + " more)\n";
}

std::string neighbours_text(const Json& structured) {
  const std::string path = text::one_line(structured["path"].get<std::string>());
  std::string text = path + " imports, requires or mentions (" +
                     text::to_compact(structured["outgoing_total"]) + "):\n";
  for (const Json& entry : structured["outgoing"]) text += outgoing_line(entry);
  text += rest_line(structured["outgoing"], structured["outgoing_total"]);
  text += "Files that import, require or mention " + path + " (" +
          text::to_compact(structured["incoming_total"]) + "):\n";
  for (const Json& entry : structured["incoming"]) text += incoming_line(entry);
  text += rest_line(structured["incoming"], structured["incoming_total"]);
  return text;
}

}  // namespace

std::string file_id_for(const std::string& path, const fs::path& root) {
  fs::path given = fs::path(path).lexically_normal();
  if (given.is_absolute()) given = given.lexically_relative(root.lexically_normal());
  std::string id = given.generic_string();
  while (id.starts_with("./")) id.erase(0, 2);
  return id;
}

ToolResult neighbours_tool(ProjectSession& session, const ToolArguments& arguments) {
  const std::string path = arguments.text("path");
  const auto limit = static_cast<std::size_t>(arguments.integer("limit"));
  LoadedProject& project = session.project();
  const std::uint32_t file = asked_file(project, path, session.locations().default_root);
  const auto from = project.lookups().edges_from(file);
  const auto to = project.lookups().edges_to(file);
  Json structured = Json::object();
  structured["path"] = std::string(project.lookups().file_id(file));
  structured["outgoing"] =
      first_entries(from, limit, [&](std::uint32_t e) { return outgoing_json(project, e); });
  structured["incoming"] =
      first_entries(to, limit, [&](std::uint32_t e) { return incoming_json(project, e); });
  structured["outgoing_total"] = from.size();
  structured["incoming_total"] = to.size();
  return {neighbours_text(structured), std::move(structured), false};
}

}  // namespace plinthar::query::mcp

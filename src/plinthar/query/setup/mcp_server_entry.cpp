#include "plinthar/query/setup/mcp_server_entry.hpp"

#include "plinthar/error.hpp"
#include "plinthar/query/setup/json_members.hpp"

namespace plinthar::query::setup {
namespace {

const std::string SERVERS = "mcpServers";

std::string described(const Json& entry) {
  std::string command = entry["command"].get<std::string>();
  for (const Json& arg : entry["args"]) command += " " + arg.get<std::string>();
  return "MCP server \"" + std::string(MCP_SERVER_NAME) + "\": " + command;
}

}  // namespace

Json mcp_server_entry(std::string_view program) {
  Json entry = Json::object();
  entry["command"] = std::string(program);
  entry["args"] = Json::array({"mcp"});
  return entry;
}

std::vector<std::string> add_mcp_server(Json& settings, const Json& entry) {
  Json changed = settings;
  Json& servers = object_member(changed, SERVERS, "\"" + SERVERS + "\"");
  const std::string name(MCP_SERVER_NAME);
  if (const auto found = servers.find(name); found != servers.end()) {
    if (*found == entry) return {};
    throw Error("\"" + SERVERS + "\"." + name +
                " already starts another server; remove it (or run setup --remove with the "
                "crv that added it) and run setup again");
  }
  servers[name] = entry;
  settings = std::move(changed);
  return {"add " + described(entry)};
}

std::vector<std::string> remove_mcp_server(Json& settings, const Json& entry) {
  const auto servers = settings.find(SERVERS);
  if (servers == settings.end() || !servers->is_object()) return {};
  const auto found = servers->find(std::string(MCP_SERVER_NAME));
  if (found == servers->end() || *found != entry) return {};
  servers->erase(found);
  erase_if_empty(settings, SERVERS);
  return {"remove " + described(entry)};
}

}  // namespace plinthar::query::setup

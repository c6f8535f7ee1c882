#pragma once

// crv's server in the "mcpServers" map that MCP clients read their servers from: a name
// and how to start it, {"command": PROGRAM, "args": ["mcp"]}.

#include <string>
#include <string_view>
#include <vector>

#include "plinthar/text/json.hpp"

namespace plinthar::query::setup {

using text::Json;

inline constexpr std::string_view MCP_SERVER_NAME = "plinthar";

// How a client starts the crv at `program` as a server.
Json mcp_server_entry(std::string_view program);

// Adds the server under MCP_SERVER_NAME unless it is there already, and says what it
// added. Throws plinthar::Error, leaving `settings` as it was, when the name is taken by
// another server or "mcpServers" is not an object.
std::vector<std::string> add_mcp_server(Json& settings, const Json& entry);

// Takes the server out when it is the one `entry` describes (and "mcpServers" when
// that leaves it empty), and says what it took out.
std::vector<std::string> remove_mcp_server(Json& settings, const Json& entry);

}  // namespace plinthar::query::setup

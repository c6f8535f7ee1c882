#include "plinthar/query/mcp/mcp_command.hpp"

#include <csignal>
#include <iostream>

#include "plinthar/query/mcp/mcp_server.hpp"
#include "plinthar/query/mcp/server_loop.hpp"

namespace plinthar::query::mcp {

int cmd_mcp(const Args& args, const Locations& locations, std::ostream& out, std::ostream& err) {
  // A client that goes away mid-reply must end the loop through a failed write, not kill
  // the process with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  err << "crv mcp: serving " << locations.default_root.string() << " with the graph "
      << locations.graph_json.string() << "\n";
  ProjectSession session(locations,
                         {args.refresh, std::chrono::milliseconds(args.refresh_interval)});
  McpServer server(session);
  return serve_lines(std::cin, out, err, server);
}

}  // namespace plinthar::query::mcp

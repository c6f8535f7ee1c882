#include "plinthar/query/mcp/mcp_command.hpp"

#include <csignal>
#include <ostream>

#include "plinthar/query/mcp/mcp_server.hpp"
#include "plinthar/query/mcp/server_loop.hpp"

namespace plinthar::query::mcp {

int cmd_mcp(const McpOptions& options, const Locations& locations, const Streams& streams) {
  // A client that goes away mid-reply must end the loop through a failed write, not kill
  // the process with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  streams.err << "crv mcp: serving " << locations.default_root.string() << " with the graph "
              << locations.graph_json.string() << "\n";
  ProjectSession session(locations,
                         {options.refresh, std::chrono::milliseconds(options.refresh_interval)});
  McpServer server(session);
  return serve_lines(streams.in, streams.out, streams.err, server);
}

}  // namespace plinthar::query::mcp

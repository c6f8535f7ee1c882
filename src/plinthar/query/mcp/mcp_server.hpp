#pragma once

// The Model Context Protocol methods of `crv mcp`: the initialize handshake (agreeing on
// a protocol revision), ping, and the tools of the project's session.

#include <string>
#include <string_view>

#include "plinthar/query/mcp/project_session.hpp"
#include "plinthar/query/mcp/protocol_version.hpp"
#include "plinthar/query/mcp/rpc_dispatch.hpp"

namespace plinthar::query::mcp {

inline constexpr std::string_view SERVER_NAME = "plinthar";

class McpServer : public RpcMethods {
 public:
  explicit McpServer(ProjectSession& session) : session_(session) {}

  Json request(const std::string& method, const Json& params) override;
  void notification(const std::string& method, const Json& params) override;

  // The revision agreed at initialize (the latest before).
  std::string_view protocol_version() const { return version_; }

 private:
  Json initialize(const Json& params);
  Json list_tools() const;
  Json call_tool(const Json& params);

  ProjectSession& session_;
  std::string version_{LATEST_PROTOCOL_VERSION};
};

}  // namespace plinthar::query::mcp

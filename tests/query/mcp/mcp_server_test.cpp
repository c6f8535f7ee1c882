#include "plinthar/query/mcp/mcp_server.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/query/mcp/protocol_version.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/version.hpp"
#include "test_util.hpp"

namespace plinthar::query::mcp {
namespace {

// A server over a project that none of these requests needs to load.
class McpServerTest : public ::testing::Test {
 protected:
  McpServerTest()
      : session_(compute_locations(dir_ / "bin", [](std::string_view) { return std::nullopt; }),
                 SessionOptions{}),
        server_(session_) {}

  Json initialize(const std::string& version) {
    Json params = Json::object();
    params["protocolVersion"] = version;
    params["capabilities"] = Json::object();
    return server_.request("initialize", params);
  }

  // The code of the RpcError that `method` throws, or 0 when it answers.
  int error_code(const std::string& method, const std::string& params) {
    try {
      server_.request(method, text::parse_json(params));
    } catch (const RpcError& error) {
      return error.code();
    }
    return 0;
  }

  Json call(const std::string& params) {
    return server_.request("tools/call", text::parse_json(params));
  }

  testing::TempDir dir_;
  ProjectSession session_;
  McpServer server_;
};

TEST(ProtocolVersion, AnOfferedRevisionTheServerSpeaksIsTakenElseTheLatest) {
  const std::pair<const char*, const char*> cases[] = {
      {"2025-06-18", "2025-06-18"}, {"2025-03-26", "2025-03-26"}, {"2024-11-05", "2024-11-05"},
      {"2025-11-25", "2025-06-18"}, {"2024-10-07", "2025-06-18"}, {"", "2025-06-18"},
  };
  for (const auto& [offered, agreed] : cases) {
    EXPECT_EQ(negotiate_protocol_version(offered), agreed) << offered;
  }
}

TEST_F(McpServerTest, InitializeNamesTheServerAndItsToolsCapability) {
  const Json result = initialize("2025-03-26");
  EXPECT_EQ(result["protocolVersion"], "2025-03-26");
  EXPECT_EQ(result["serverInfo"]["name"], "plinthar");
  EXPECT_EQ(result["serverInfo"]["version"], std::string(VERSION));
  EXPECT_TRUE(result["capabilities"]["tools"].is_object());
  EXPECT_EQ(server_.protocol_version(), "2025-03-26");
  EXPECT_EQ(initialize("2099-01-01")["protocolVersion"], LATEST_PROTOCOL_VERSION);
}

TEST_F(McpServerTest, ToolListingsFollowTheRevision) {
  const struct {
    const char* version;
    bool output_schema, title, annotations;
  } cases[] = {
      {"2025-06-18", true, true, true},
      {"2025-03-26", false, false, true},
      {"2024-11-05", false, false, false},
  };
  for (const auto& c : cases) {
    initialize(c.version);
    const Json tools = server_.request("tools/list", Json())["tools"];
    ASSERT_EQ(tools.size(), 5U) << c.version;
    for (const Json& tool : tools) {
      EXPECT_EQ(tool["inputSchema"]["type"], "object") << tool["name"];
      EXPECT_EQ(tool.contains("outputSchema"), c.output_schema) << c.version << tool["name"];
      EXPECT_EQ(tool.contains("title"), c.title) << c.version;
      EXPECT_EQ(tool.contains("annotations"), c.annotations) << c.version;
    }
  }
}

TEST_F(McpServerTest, MalformedParamsAreInvalidParamsAndUnknownMethodsNotFound) {
  const std::pair<const char*, const char*> invalid[] = {
      {"initialize", "{}"},
      {"initialize", R"({"protocolVersion": 20250618})"},
      {"initialize", "[1]"},
      {"tools/list", "[]"},
      {"tools/call", "{}"},
      {"tools/call", R"({"name": "no_such_tool"})"},
      {"tools/call", R"({"name": "relevant_files", "arguments": "fix it"})"},
      {"tools/call", R"({"name": 3})"},
  };
  for (const auto& [method, params] : invalid) {
    EXPECT_EQ(error_code(method, params), INVALID_PARAMS) << method << " " << params;
  }
  EXPECT_EQ(error_code("resources/list", "{}"), METHOD_NOT_FOUND);
  EXPECT_EQ(error_code("ping", "{}"), 0);
  EXPECT_EQ(error_code("tools/list", R"({"cursor": "x"})"), 0);
}

TEST_F(McpServerTest, ArgumentsBreakingTheInputSchemaAreToolErrorsThatSayWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"name": "relevant_files", "arguments": {}})", "relevant_files: task is missing"},
      {R"({"name": "relevant_files", "arguments": {"task": ""}})",
       "relevant_files: task must not be empty"},
      {R"({"name": "relevant_files", "arguments": {"task": "x", "limit": 0}})",
       "relevant_files: limit must be at least 1"},
      {R"({"name": "relevant_files", "arguments": {"task": "x", "limit": "5"}})",
       "relevant_files: limit must be an integer"},
      {R"({"name": "context_block", "arguments": {"task": "x", "max_chars": 1e9}})",
       "context_block: max_chars must be at most 1000000"},
      {R"({"name": "find_symbol", "arguments": {"name": "x", "exact": true}})",
       "find_symbol: exact is not known"},
      {R"({"name": "neighbours", "arguments": {"path": ["a.py"]}})",
       "neighbours: path must be a string"},
      {R"({"name": "record_action", "arguments": {"summary": "x"}})",
       "record_action: kind is missing"},
  };
  for (const auto& [params, message] : cases) {
    const Json result = call(params);
    EXPECT_EQ(result["isError"], true) << params;
    EXPECT_EQ(result["content"][0]["text"], message) << params;
    EXPECT_FALSE(result.contains("structuredContent")) << params;
  }
  EXPECT_EQ(session_.loads(), 0);
}

TEST_F(McpServerTest, StructuredContentOnlyWhereTheRevisionHasIt) {
  for (const auto& [version, structured] :
       {std::pair{"2025-06-18", true}, std::pair{"2025-03-26", false}}) {
    initialize(version);
    const Json result =
        call(R"({"name": "record_action", "arguments": {"kind": "note", "summary": "s"}})");
    EXPECT_EQ(result["isError"], false) << version;
    EXPECT_EQ(result.contains("structuredContent"), structured) << version;
    EXPECT_EQ(result["content"][0]["type"], "text");
  }
}

}  // namespace
}  // namespace plinthar::query::mcp

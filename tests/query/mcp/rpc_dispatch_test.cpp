#include "plinthar/query/mcp/rpc_dispatch.hpp"

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/query/mcp/server_loop.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query::mcp {
namespace {

// Answers "echo" with its params, fails "bad" with invalid params and "boom" with an
// exception of another kind, and records every notification.
class FakeMethods : public RpcMethods {
 public:
  Json request(const std::string& method, const Json& params) override {
    if (method == "echo") return params;
    if (method == "bad") throw RpcError(INVALID_PARAMS, "no good");
    if (method == "boom") throw std::runtime_error("it broke");
    if (method == "worse") throw 42;
    throw RpcError(METHOD_NOT_FOUND, "method not found: " + method);
  }
  void notification(const std::string& method, const Json&) override {
    notified.push_back(method);
    if (method == "boom") throw std::runtime_error("ignored");
  }
  std::vector<std::string> notified;
};

Json reply_to(const std::string& line, FakeMethods& methods, std::ostream& log) {
  const auto reply = dispatch_line(line, methods, log);
  return reply ? text::parse_json(*reply) : Json();
}

TEST(RpcDispatch, AnswersEachKindOfLineWithTheRightCodeAndId) {
  const struct {
    const char* line;
    Json id;   // of the reply; null for none
    int code;  // 0 for a result, -1 for no reply at all
  } cases[] = {
      {R"({"jsonrpc": "2.0", "id": 1, "method": "echo", "params": {"a": 1}})", 1, 0},
      {R"({"jsonrpc": "2.0", "id": "x", "method": "echo"})", "x", 0},
      {R"({"jsonrpc": "2.0", "id": 2, "method": "bad"})", 2, INVALID_PARAMS},
      {R"({"jsonrpc": "2.0", "id": 3, "method": "boom"})", 3, INTERNAL_ERROR},
      {R"({"jsonrpc": "2.0", "id": 4, "method": "worse"})", 4, INTERNAL_ERROR},
      {R"({"jsonrpc": "2.0", "id": 5, "method": "nothing/here"})", 5, METHOD_NOT_FOUND},
      {R"({"jsonrpc": "2.0", "id": 1, "method": "echo",)", Json(), PARSE_ERROR},
      {"\xff", Json(), PARSE_ERROR},
      {R"([1, 2])", Json(), -2},  // a batch of invalid messages: one error each
      {R"([])", Json(), INVALID_REQUEST},
      {R"("text")", Json(), INVALID_REQUEST},
      {R"({"id": 6, "method": "echo"})", 6, INVALID_REQUEST},
      {R"({"jsonrpc": "1.0", "id": 7, "method": "echo"})", 7, INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "id": 8, "method": 12})", 8, INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "id": null, "method": "echo"})", Json(), INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "id": 1.5, "method": "echo"})", Json(), INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "id": 9, "method": "echo", "params": 3})", 9, INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "id": 10})", 10, INVALID_REQUEST},
      {R"({"jsonrpc": "2.0", "method": "notifications/initialized"})", Json(), -1},
      {R"({"jsonrpc": "2.0", "method": "boom", "params": 3})", Json(), -1},
      {R"({"jsonrpc": "2.0", "id": 11, "result": {}})", Json(), -1},
      {R"({"jsonrpc": "2.0", "id": 12, "error": {"code": 1, "message": "x"}})", Json(), -1},
  };
  for (const auto& c : cases) {
    FakeMethods methods;
    std::ostringstream log;
    const Json reply = reply_to(c.line, methods, log);
    if (c.code == -1) {
      EXPECT_TRUE(reply.is_null()) << c.line << " -> " << reply.dump();
      continue;
    }
    if (c.code == -2) {
      ASSERT_TRUE(reply.is_array()) << c.line;
      ASSERT_EQ(reply.size(), 2U);
      for (const Json& each : reply) EXPECT_EQ(each["error"]["code"], INVALID_REQUEST);
      continue;
    }
    ASSERT_TRUE(reply.is_object()) << c.line;
    EXPECT_EQ(reply["jsonrpc"], "2.0") << c.line;
    EXPECT_EQ(reply["id"], c.id) << c.line;
    if (c.code == 0) {
      EXPECT_TRUE(reply.contains("result")) << c.line << " -> " << reply.dump();
    } else {
      EXPECT_EQ(reply["error"]["code"], c.code) << c.line << " -> " << reply.dump();
      EXPECT_FALSE(reply["error"]["message"].get<std::string>().empty()) << c.line;
    }
  }
}

TEST(RpcDispatch, ResultsCarryTheParamsAndFailuresTheirMessage) {
  FakeMethods methods;
  std::ostringstream log;
  const Json echoed = reply_to(
      R"({"jsonrpc": "2.0", "id": 1, "method": "echo", "params": {"a": [1, "é"]}})", methods, log);
  EXPECT_EQ(echoed["result"], text::parse_json(R"({"a": [1, "é"]})"));
  const Json failed = reply_to(R"({"jsonrpc": "2.0", "id": 2, "method": "boom"})", methods, log);
  EXPECT_EQ(failed["error"]["message"], "it broke");
  EXPECT_NE(log.str().find("it broke"), std::string::npos);
}

TEST(RpcDispatch, ABatchIsAnsweredInOrderWithoutItsNotifications) {
  FakeMethods methods;
  std::ostringstream log;
  const Json reply = reply_to(R"([{"jsonrpc": "2.0", "id": 1, "method": "echo", "params": [1]},
      {"jsonrpc": "2.0", "method": "note"},
      {"jsonrpc": "2.0", "id": 2, "method": "bad"}])",
                              methods, log);
  ASSERT_TRUE(reply.is_array());
  ASSERT_EQ(reply.size(), 2U);
  EXPECT_EQ(reply[0]["result"], Json::array({1}));
  EXPECT_EQ(reply[1]["error"]["code"], INVALID_PARAMS);
  EXPECT_EQ(methods.notified, std::vector<std::string>{"note"});
  EXPECT_TRUE(reply_to(R"([{"jsonrpc": "2.0", "method": "note"}])", methods, log).is_null());
}

TEST(ServeLines, OneReplyLinePerRequestUntilTheInputEnds) {
  FakeMethods methods;
  std::istringstream in(
      "{\"jsonrpc\": \"2.0\", \"id\": 1, \"method\": \"echo\", \"params\": {\"text\": "
      "\"a\\nb\"}}\r\n"
      "\n   \n"
      "{\"jsonrpc\": \"2.0\", \"method\": \"notifications/initialized\"}\n"
      "not json\n"
      "{\"jsonrpc\": \"2.0\", \"id\": 2, \"method\": \"echo\"}");
  std::ostringstream out;
  std::ostringstream log;
  EXPECT_EQ(serve_lines(in, out, log, methods), 0);
  std::istringstream replies(out.str());
  std::vector<Json> lines;
  for (std::string line; std::getline(replies, line);) lines.push_back(text::parse_json(line));
  ASSERT_EQ(lines.size(), 3U) << out.str();
  EXPECT_EQ(lines[0]["result"]["text"], "a\nb");
  EXPECT_EQ(lines[1]["error"]["code"], PARSE_ERROR);
  EXPECT_EQ(lines[2]["id"], 2);
  EXPECT_TRUE(out.str().ends_with("\n"));
}

TEST(ServeLines, StopsWhenTheOutputFails) {
  FakeMethods methods;
  std::istringstream in(
      "{\"jsonrpc\": \"2.0\", \"id\": 1, \"method\": \"echo\"}\n"
      "{\"jsonrpc\": \"2.0\", \"method\": \"after\"}\n");
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  std::ostringstream log;
  EXPECT_EQ(serve_lines(in, out, log, methods), 0);
  EXPECT_TRUE(methods.notified.empty());
}

}  // namespace
}  // namespace plinthar::query::mcp

#include "plinthar/query/hooks/hook_event.hpp"

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/hooks/hook_tool_command.hpp"

namespace plinthar::query {
namespace {

TEST(HookEvent, RejectsMembersOfTheWrongType) {
  struct Row {
    const char* input;
    const char* message;
  };
  // Bad JSON, other values and a missing prompt are in the end-to-end cases.
  const Row prompt_rows[] = {
      {"", "hook input is not JSON: "},
      {"{\"prompt\": 3}", "hook input has no \"prompt\" text"},
      {"{\"prompt\": \"x\", \"cwd\": 1}", "hook input's \"cwd\" is not text"},
  };
  for (const Row& row : prompt_rows) {
    try {
      parse_prompt_event(row.input);
      ADD_FAILURE() << "accepted " << row.input;
    } catch (const Error& error) {
      EXPECT_TRUE(std::string(error.what()).starts_with(row.message)) << error.what();
    }
  }
  EXPECT_THROW(parse_tool_event(R"({"tool_input": {}})"), Error);
  EXPECT_THROW(parse_tool_event(R"({"tool_name": "Bash", "tool_input": "ls"})"), Error);
}

TEST(HookTool, RecordsKindFileOrFirstCommandLineAndTheTool) {
  struct Row {
    const char* event;
    const char* kind;
    const char* summary;
  };
  const Row rows[] = {
      {R"({"tool_name": "Edit", "tool_input": {"file_path": "/p/web/a.tsx"}})", "edit",
       "web/a.tsx"},
      {R"({"tool_name": "Write", "tool_input": {"file_path": "/elsewhere/b.py"}})", "edit",
       "/elsewhere/b.py"},
      {R"({"tool_name": "NotebookEdit", "tool_input": {"notebook_path": "/p/n.ipynb"}})", "edit",
       "n.ipynb"},
      {R"({"tool_name": "Bash", "tool_input": {"command": "make test\r\nmake lint"}})", "command",
       "make test"},
      {R"({"tool_name": "Grep", "tool_input": {"pattern": "cancel"}})", "search", ""},
      {R"({"tool_name": "mcp__Docs__Lookup"})", "mcp__docs__lookup", ""},
  };
  for (const Row& row : rows) {
    const Json record = tool_action_record(parse_tool_event(row.event), "/p", "T");
    const Json expected = {{"timestamp", "T"},
                           {"kind", row.kind},
                           {"summary", row.summary},
                           {"meta", {{"tool", Json::parse(row.event)["tool_name"]}}}};
    EXPECT_EQ(record, expected) << row.event;
  }
}

}  // namespace
}  // namespace plinthar::query

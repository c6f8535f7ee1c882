#include "plinthar/query/mcp/schema_check.hpp"

#include <gtest/gtest.h>

#include "plinthar/query/mcp/tool_schemas.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query::mcp {
namespace {

constexpr const char* SCHEMA = R"({
  "type": "object",
  "properties": {
    "name": {"type": "string", "minLength": 1},
    "count": {"type": "integer", "minimum": 1, "maximum": 10},
    "mode": {"type": "string", "enum": ["a", "b"]},
    "items": {"type": "array", "items": {"type": "object",
      "properties": {"path": {"type": "string"}, "line": {"type": ["integer", "null"]}},
      "required": ["path"]}}
  },
  "required": ["name"],
  "additionalProperties": false
})";

TEST(SchemaCheck, NamesTheFirstProblemAndWhereItIs) {
  const Json schema = text::parse_json(SCHEMA);
  const std::pair<const char*, const char*> cases[] = {
      {R"({"name": "x"})", ""},
      {R"({"name": "x", "count": 10, "mode": "b", "items": [{"path": "p", "line": null}]})", ""},
      {R"({"name": "x", "count": 3.0})", ""},
      {R"([])", "the value must be an object"},
      {R"({})", "name is missing"},
      {R"({"name": ""})", "name must not be empty"},
      {R"({"name": 1})", "name must be a string"},
      {R"({"name": "x", "count": 0})", "count must be at least 1"},
      {R"({"name": "x", "count": 11})", "count must be at most 10"},
      {R"({"name": "x", "count": 2.5})", "count must be an integer"},
      {R"({"name": "x", "count": true})", "count must be an integer"},
      {R"({"name": "x", "mode": "c"})", R"(mode must be one of ["a", "b"])"},
      {R"({"name": "x", "other": 1})", "other is not known"},
      {R"({"name": "x", "items": {}})", "items must be an array"},
      {R"({"name": "x", "items": [{"path": "p"}, {}]})", "items[1].path is missing"},
      {R"({"name": "x", "items": [{"path": "p", "line": "3"}]})",
       "items[0].line must be an integer or a null"},
  };
  for (const auto& [value, problem] : cases) {
    const auto found = schema_problem(text::parse_json(value), schema);
    EXPECT_EQ(found.value_or(""), problem) << value;
  }
}

// The published schemas are read by the checker the arguments go through, so each must
// accept its own defaults and the smallest valid call.
TEST(ToolSchemas, EveryToolTakesItsRequiredArgumentsAndDefaults) {
  const Json& tools = tool_descriptions();
  ASSERT_EQ(tools.size(), 5U);
  for (const Json& tool : tools) {
    const Json& input = tool["inputSchema"];
    Json minimal = Json::object();
    for (const Json& key : input["required"]) minimal[key.get<std::string>()] = "x";
    EXPECT_EQ(schema_problem(minimal, input).value_or(""), "") << tool["name"];
    Json defaults = minimal;
    for (const auto& [key, property] : input["properties"].items()) {
      if (property.contains("default")) defaults[key] = property["default"];
    }
    EXPECT_EQ(schema_problem(defaults, input).value_or(""), "") << tool["name"];
    EXPECT_EQ(tool["outputSchema"]["type"], "object") << tool["name"];
    EXPECT_EQ(tool_description(tool["name"].get<std::string>()), &tool);
  }
  EXPECT_EQ(tool_description("nothing"), nullptr);
}

}  // namespace
}  // namespace plinthar::query::mcp

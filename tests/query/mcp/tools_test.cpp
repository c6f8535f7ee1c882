// The five tools on a small project, called as the server calls them: arguments checked
// against the published schema, results checked against the output schema.

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "plinthar/query/commands/prime_block.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/query/hooks/context_budget.hpp"
#include "plinthar/query/mcp/schema_check.hpp"
#include "plinthar/query/mcp/tool_schemas.hpp"
#include "plinthar/query/mcp/tool_table.hpp"
#include "plinthar/text/json_reader.hpp"
#include "sample_project.hpp"

namespace plinthar::query::mcp {
namespace {

class Tools : public ::testing::Test {
 protected:
  Tools() : session_(project_.locations(), SessionOptions{false, {}}) {}

  // The structured result of a successful call, checked against the tool's output schema.
  Json call(const std::string& tool, const std::string& arguments) {
    const ToolResult result = run_tool(tool, text::parse_json(arguments), session_);
    EXPECT_FALSE(result.is_error) << tool << ": " << result.text;
    const Json& schema = (*tool_description(tool))["outputSchema"];
    EXPECT_EQ(schema_problem(result.structured, schema).value_or(""), "") << tool;
    EXPECT_FALSE(result.text.empty());
    return result.structured;
  }

  static const Json* file_named(const Json& files, const std::string& path) {
    const auto found = std::find_if(files.begin(), files.end(),
                                    [&](const Json& file) { return file["path"] == path; });
    return found == files.end() ? nullptr : &*found;
  }

  static bool has_text(const Json& list, const std::string& wanted) {
    return std::any_of(list.begin(), list.end(), [&](const Json& item) {
      return item.get<std::string>().find(wanted) != std::string::npos;
    });
  }

  testing_samples::SampleProject project_;
  ProjectSession session_;
};

TEST_F(Tools, RelevantFilesTellTheTermsSymbolsAndLinksThatChoseEachFile) {
  const Json result = call("relevant_files", R"({"task": "cancel the orders", "limit": 5})");
  EXPECT_EQ(result["task"], "cancel the orders");
  const Json* api = file_named(result["files"], "web/src/api/orders.ts");
  ASSERT_NE(api, nullptr) << result.dump(2);
  const Json& terms = (*api)["matched_terms"];
  ASSERT_EQ(terms.size(), 2U) << api->dump(2);
  EXPECT_EQ(terms[0]["term"], "cancel");
  EXPECT_EQ(terms[1]["term"], "order");
  EXPECT_EQ(terms[1]["word"], "orders");
  EXPECT_NE(std::find(terms[0]["fields"].begin(), terms[0]["fields"].end(), "symbols"),
            terms[0]["fields"].end());
  EXPECT_EQ((*api)["named_symbols"], Json::array({"cancelOrder"}));
  ASSERT_EQ((*api)["symbols"].size(), 1U);
  EXPECT_EQ((*api)["symbols"][0]["first_line"], 1);
  EXPECT_EQ((*api)["symbols"][0]["last_line"], 3);
  const Json* page_link = file_named((*api)["linked_files"], "web/src/pages/OrdersPage.tsx");
  ASSERT_NE(page_link, nullptr) << api->dump(2);
  EXPECT_EQ((*page_link)["link"], "neighbour");
  EXPECT_TRUE(has_text((*api)["reasons"], "import or mention link with web/src/pages/OrdersPage"));
  EXPECT_TRUE(has_text((*api)["reasons"], "defines \"cancelOrder\", named by the task"));
}

TEST_F(Tools, RelevantFilesPutTheSymbolsTheTaskNamesFirst) {
  const Json page = call("relevant_files", R"({"task": "button"})");
  const Json* orders = file_named(page["files"], "web/src/pages/OrdersPage.tsx");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ((*orders)["symbols"][0]["name"], "CancelButton");
  EXPECT_EQ((*orders)["symbols"][1]["name"], "OrdersPage");
}

TEST_F(Tools, RelevantFilesSayWhenTheTaskAskedForTheKindOfFile) {
  const Json result = call("relevant_files", R"({"task": "add tests for charge"})");
  const Json* test = file_named(result["files"], "tests/test_billing.py");
  ASSERT_NE(test, nullptr) << result.dump(2);
  EXPECT_TRUE(has_text((*test)["reasons"], "a test file, and the task asks for tests"));
  const Json nothing = call("relevant_files", R"({"task": "zzzqqq", "limit": 1})");
  ASSERT_EQ(nothing["files"].size(), 1U);
  EXPECT_EQ(nothing["files"][0]["reasons"],
            Json::array({"no term of the task: chosen by its size alone"}));
}

TEST_F(Tools, ContextBlockIsTheHooksBlock) {
  const std::string task = "fix the cancel button on the orders page";
  const Json result = call("context_block", R"({"task": ")" + task + R"(", "max_chars": 700})");
  PrimeOptions hook;
  hook.ranking.query = task;
  hook.ranking.rank = Ranking::hybrid;
  const std::string expected = fit_prime_block(gather_prime(hook, project_.locations()), 700);
  EXPECT_EQ(result["block"], expected);
  EXPECT_EQ(result["characters"], expected.size());
  const ToolResult tiny =
      run_tool("context_block", text::parse_json(R"({"task": "x", "max_chars": 10})"), session_);
  EXPECT_TRUE(tiny.is_error);
  EXPECT_NE(tiny.text.find("does not fit in 10 characters"), std::string::npos) << tiny.text;
}

TEST_F(Tools, FindSymbolByNameInAnyCaseAndById) {
  const struct {
    const char* arguments;
    std::size_t total;
    bool exact_case;
  } cases[] = {
      {R"({"name": "cancelOrder"})", 1, true},
      {R"({"name": "CANCELORDER"})", 1, false},
      {R"({"name": "web/src/api/orders.ts::cancelOrder"})", 1, true},
      {R"({"name": "api/billing.py::cancelOrder"})", 0, true},
      {R"({"name": "nothing_like_it"})", 0, false},
  };
  for (const auto& c : cases) {
    const Json result = call("find_symbol", c.arguments);
    EXPECT_EQ(result["total"], c.total) << c.arguments;
    EXPECT_EQ(result["exact_case"], c.exact_case) << c.arguments;
    if (c.total == 0) continue;
    const Json& definition = result["definitions"][0];
    EXPECT_EQ(definition["path"], "web/src/api/orders.ts");
    EXPECT_EQ(definition["name"], "cancelOrder");
    EXPECT_EQ(definition["exported"], true);
    EXPECT_EQ(definition["first_line"], 1);
  }
  const Json limited = call("find_symbol", R"({"name": "handler", "limit": 2})");
  EXPECT_EQ(limited["total"], 3);
  EXPECT_EQ(limited["definitions"].size(), 2U);
}

TEST_F(Tools, NeighboursGoBothWaysForAPathGivenInAnyForm) {
  const std::string absolute = (project_.root() / "web/src/api/orders.ts").string();
  for (const std::string& path : {std::string("web/src/api/orders.ts"),
                                  std::string("./web/src/../src/api/orders.ts"), absolute}) {
    const Json result = call("neighbours", R"({"path": ")" + path + R"("})");
    EXPECT_EQ(result["path"], "web/src/api/orders.ts") << path;
    ASSERT_EQ(result["incoming_total"], 1) << result.dump(2);
    EXPECT_EQ(result["incoming"][0],
              text::parse_json(R"({"rel": "imports", "file": "web/src/pages/OrdersPage.tsx"})"));
  }
  const Json page = call("neighbours", R"({"path": "web/src/pages/OrdersPage.tsx", "limit": 1})");
  EXPECT_EQ(page["outgoing"], text::parse_json(R"([{"rel": "imports", "target": "../api/orders",
                                                    "file": "web/src/api/orders.ts"}])"));
  EXPECT_EQ(page["incoming"], text::parse_json(R"([{"rel": "references", "file": "README.md"}])"));
  const ToolResult missing =
      run_tool("neighbours", text::parse_json(R"({"path": "web/none.ts"})"), session_);
  EXPECT_TRUE(missing.is_error);
  EXPECT_NE(missing.text.find("no file \"web/none.ts\" in the graph"), std::string::npos);
}

TEST_F(Tools, RecordActionAppendsToTheLogTheBlockLists) {
  const Json recorded = call("record_action", R"({"kind": "decision", "summary": "keep\nit"})");
  EXPECT_EQ(recorded["kind"], "decision");
  const auto actions = read_action_events(project_.locations());
  ASSERT_EQ(actions.size(), 1U);
  EXPECT_EQ(actions[0]["summary"], "keep\nit");
  EXPECT_EQ(actions[0]["timestamp"], recorded["timestamp"]);
  EXPECT_EQ(actions[0]["meta"], Json::object());
  const Json block = call("context_block", R"({"task": "orders"})");
  EXPECT_NE(block["block"].get<std::string>().find("- [decision] keep\\nit\n"), std::string::npos)
      << block["block"];
  EXPECT_EQ(session_.loads(), 1);
}

}  // namespace
}  // namespace plinthar::query::mcp

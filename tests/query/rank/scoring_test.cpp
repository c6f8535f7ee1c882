#include "plinthar/query/rank/scoring.hpp"

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/rank/query_analysis.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

namespace {

TEST(ScoreText, CountsEachTermEntryOnceAfterLowerCasing) {
  EXPECT_EQ(score_text("Orders Page, orders", {"orders", "page", "orders", "zzz"}), 3);
  EXPECT_EQ(score_text("\xc3\x84"
                       "BC",
                       {"\xc3\xa4"
                        "bc"}),
            1);
  EXPECT_EQ(score_text("anything", {}), 0);
}

struct RoleCase {
  const char* path;
  const char* ext;
  const char* role;
};

TEST(NodeRole, Table) {
  const RoleCase cases[] = {
      {"docs/guide.md", ".md", "docs"},
      {"a.MD", ".MD", "code"},  // the extension is compared exactly
      {"tests/test_orders.py", ".py", "code"},
      {"src/tests/test_orders.py", ".py", "test"},
      {"src/x.Spec.tsx", ".tsx", "test"},
      {"web/src/orders.test.ts::renderList", ".ts", "code"},
      {"src/Components/UI/Button.tsx", ".tsx", "shared_ui"},
      {"src/pages/home.tsx", ".tsx", "ui_surface"},
      {"pages/home.tsx", ".tsx", "code"},
      {"src/pages/api/x.ts", ".ts", "ui_surface"},
      {"src/api/x.py", ".py", "logic"},
      {"", "", "code"},
  };
  for (const auto& c : cases) EXPECT_EQ(node_role(c.path, c.ext), c.role) << c.path;
}

TEST(IntentRoleWeight, UnknownIntentUsesGeneralRowAndUnknownRoleWeighsZero) {
  EXPECT_EQ(intent_role_weight("explain", "docs"), 2);
  EXPECT_EQ(intent_role_weight("nonsense", "docs"), -1);
  EXPECT_EQ(intent_role_weight("edit", "nope"), 0);
}

struct NodeCase {
  const char* name;
  const char* node;
  const char* query;
  std::int64_t score;
};

TEST(ScoreNode, Table) {
  const NodeCase cases[] = {
      {"worked example",
       R"({"id": "src/pages/Orders.tsx", "ext": ".tsx", "keywords": ["orders", "table"],
           "summary": "Orders page", "kind": "file"})",
       "show the orders table", 25},
      {"empty node scores role and intent only", "{}", "explain", 1},
      {"markdown under a debug intent", R"({"id": "docs/checkout.md", "ext": ".md"})",
       "fix the crash in checkout", -1},
      {"dependency directory", R"({"id": "node_modules/pkg/index.js", "ext": ".js"})",
       "rename this variable", -5},
      {"route matched in keywords with method",
       R"({"id": "src/handlers.py", "ext": ".py", "keywords": ["invoice", "create", "post"]})",
       "POST /api/invoice/create", 23},
      {"route matched in the path only", R"({"id": "src/api/invoice/create.py", "ext": ".py"})",
       "POST /api/invoice/create", 27},
      {"high-confidence symbol",
       R"({"id": "web/src/orders.test.ts::renderList", "ext": ".ts", "kind": "symbol",
           "confidence": "high"})",
       "explain", 10},
      {"confidence ignored on files",
       R"({"id": "a.py", "ext": ".PY", "kind": "file", "confidence": "high"})", "explain", 5},
      {"button with status on a shared card",
       R"({"id": "web/src/components/ui/InvoiceCard.tsx", "ext": ".tsx"})",
       "button status on invoice", 14},
      {"button with status on a list page",
       R"({"id": "web/src/pages/InvoiceList.tsx", "ext": ".tsx"})", "button status on invoice", 18},
      {"design-system query spares shared ui",
       R"({"id": "web/src/components/ui/InvoiceCard.tsx", "ext": ".tsx"})",
       "shared button status on invoice", 16},
      {"portal pair", R"({"id": "apps/admin-portal/src/pages/Home.tsx", "ext": ".tsx"})",
       "admin dashboard", 15},
      {"page inside homepage is a ui word", R"({"id": "src/pages/list.tsx", "ext": ".tsx"})",
       "homepage layout", 15},
      {"null keywords and summary are absent",
       R"({"id": "a.py", "ext": ".py", "keywords": null, "summary": null})", "explain", 5},
      {"numeric id reads as its JSON text", R"({"id": 12, "ext": ".py"})", "12 things", 8},
  };
  for (const auto& c : cases) {
    const auto node = text::Json::parse(c.node);
    EXPECT_EQ(score_node(node, tokenize_query(c.query), c.query), c.score) << c.name;
  }
}

struct MalformedCase {
  const char* node;
  const char* message;
};

TEST(ScoreNode, MalformedMembersAreTypeErrors) {
  const MalformedCase cases[] = {
      {R"({"keywords": "orders"})", R"(member "keywords": Expected list, got str)"},
      {R"({"keywords": {"a": 1}})", R"(member "keywords": Expected list, got dict)"},
      {R"({"keywords": ["a", 1]})", R"(member "keywords": Expected str, got int)"},
      {R"({"summary": 5})", R"(member "summary": Expected str, got int)"},
      {R"({"summary": []})", R"(member "summary": Expected str, got list)"},
      {R"({"summary": 1.5, "keywords": true})", R"(member "keywords": Expected list, got bool)"},
  };
  for (const auto& c : cases) {
    try {
      score_node(text::Json::parse(c.node), {"orders"}, "orders");
      ADD_FAILURE() << c.node << " did not throw";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), c.message) << c.node;
    }
  }
}

}  // namespace
}  // namespace plinthar::query

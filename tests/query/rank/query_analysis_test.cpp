#include "plinthar/query/rank/query_analysis.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::query {
namespace {

using Strings = std::vector<std::string>;

struct TokenizeCase {
  const char* name;
  std::string text;
  Strings terms;
};

TEST(TokenizeQuery, Table) {
  const TokenizeCase cases[] = {
      {"stop words and hyphen split", "Fix the API for Order-Items", {"order", "items"}},
      {"single characters dropped", "a b c", {}},
      {"case-folded duplicates", "order ORDER Order", {"order"}},
      {"non-ascii letter splits", "caf\xc3\xa9 menu", {"caf", "menu"}},
      {"digits and underscores", "x1 42 user_id", {"x1", "42", "user_id"}},
      {"empty", "", {}},
      {"first occurrence order", "menu cart menu list", {"menu", "cart", "list"}},
      {"path pieces", "GET /api/v1/orders.json", {"get", "v1", "orders", "json"}},
  };
  for (const auto& c : cases) EXPECT_EQ(tokenize_query(c.text), c.terms) << c.name;
}

struct IntentCase {
  const char* query;
  const char* intent;
};

TEST(ClassifyIntent, Table) {
  const IntentCase cases[] = {
      {"GET /health", "debug"},
      {"why does GET /api/orders fail", "debug"},  // route beats "why"
      {"GET /", "general"},                        // nothing after the slash
      {"why does checkout crash", "explain"},
      {"the page throws", "debug"},
      {"a 1500 ms delay", "debug"},  // "500" inside "1500"
      {"write unit tests for the coverage report", "test"},
      {"latest release", "test"},  // "test" inside "latest"
      {"refactor the order builder", "refactor"},
      {"rebuild the cache", "feature"},
      {"please update the address", "feature"},  // "add" inside "address"
      {"rename this variable", "general"},
      {"", "general"},
  };
  for (const auto& c : cases) EXPECT_EQ(classify_intent(c.query), c.intent) << c.query;
}

struct RouteCase {
  const char* query;
  const char* method;
  Strings segments;
};

TEST(ExtractRoute, Table) {
  const RouteCase cases[] = {
      {"POST /api/invoice/create", "POST", {"invoice", "create"}},
      {"get /Users/{id}/orders", "GET", {"users", "id", "orders"}},
      {"DELETE /api/v1/items/:itemId", "DELETE", {"v1", "items", "itemid"}},
      {"GET /orders?page=2", "GET", {"orders"}},
      {"GET /orders.json", "GET", {"orders"}},
      {"GET //", "GET", {}},
      {"PUT /a//{b}/API/<c>", "PUT", {"a", "b"}},
      {"see PATCH /\xc3\x89t\xc3\xa9", "PATCH", {"\xc3\xa9t\xc3\xa9"}},  // \w is Unicode
      {"fetch GET/orders", "", {}},
      {"XGET /a", "", {}},
      {"no route here", "", {}},
  };
  for (const auto& c : cases) {
    const Route route = extract_route(c.query);
    EXPECT_EQ(route.method, c.method) << c.query;
    EXPECT_EQ(route.segments, c.segments) << c.query;
  }
}

// A query comes from the command line or the environment and may hold any bytes; those
// that are not UTF-8 are left out of the analysis (the regular expressions read out of
// bounds on them: crv retrieve --query $'\xedg\xed\xedl/\xed' died of SIGSEGV).
TEST(QueryAnalysis, BytesThatAreNotUtf8AreLeftOut) {
  const std::string crashed = "\xedg\xed\xedl/\xed";
  EXPECT_EQ(tokenize_query(crashed), Strings({"gl"}));
  EXPECT_EQ(classify_intent(crashed), "general");
  EXPECT_EQ(extract_route(crashed).method, "");
  EXPECT_EQ(tokenize_query("in\xffvoice \xc3 cart\xe9"), Strings({"invoice", "cart"}));
  EXPECT_EQ(classify_intent("\xff POST /api/\xe9orders/{id}"), "debug");
  const Route route = extract_route("\xff POST /api/\xe9orders/{id}");
  EXPECT_EQ(route.method, "POST");
  EXPECT_EQ(route.segments, Strings({"orders", "id"}));
}

TEST(QueryScopedToFeature, MatchesLowerCaseSubstringsOnly) {
  EXPECT_TRUE(query_scoped_to_feature("reorder the list"));
  EXPECT_TRUE(query_scoped_to_feature("the customer-portal header"));
  EXPECT_FALSE(query_scoped_to_feature("ADMIN page"));
  EXPECT_FALSE(query_scoped_to_feature(""));
}

}  // namespace
}  // namespace plinthar::query

// A realistic session with the example shop project: scan with a capability index,
// retrieve and prime for a few tasks, record actions, summarise token usage.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "crv_fixture.hpp"
#include "plinthar/text/json.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {
namespace fs = std::filesystem;

const std::string PRIME_RULES =
    "# Corvel Active\n\n## Rules\n- Prefer focused context over full transcript dumps.\n"
    "- Use graph-backed files/edges for impact analysis.\n"
    "- Preserve existing behavior unless request says otherwise.\n\n";

class CrvSession : public testing::CrvFixture {
 protected:
  CrvSession() {
    const fs::path shop =
        fs::path(PLINTHAR_FIXTURES_DIR).parent_path().parent_path() / "examples/shop";
    fs::copy(shop, dir_ / "proj", fs::copy_options::recursive);
  }

  testing::RunResult crv(const std::string& args, const std::string& env = "") const {
    return CrvFixture::crv(args, "CRV_CAPABILITY_INDEX=functionality_index.md " + env);
  }

  text::Json retrieve_json(const std::string& query, const std::string& limits = "") const {
    const auto result = crv("retrieve --json --query '" + query + "' " + limits);
    EXPECT_EQ(result.status, 0) << result.err;
    return text::Json::parse(result.out);
  }
};

std::string listed_files(const text::Json& payload) {
  std::string text;
  for (const text::Json& entry : payload["files"])
    text += "- " + entry["id"].get<std::string>() + "\n";
  return text;
}

std::string listed_relations(const text::Json& payload) {
  std::string text;
  for (const text::Json& edge : payload["edges"]) {
    text += "- " + edge["from"].get<std::string>() + " --" + edge["rel"].get<std::string>() +
            "--> " + edge["to"].get<std::string>() + "\n";
  }
  return text;
}

bool lists_file(const text::Json& payload, std::string_view id) {
  for (const text::Json& entry : payload["files"]) {
    if (entry["id"].get<std::string>().starts_with(id)) return true;
  }
  return false;
}

std::string prime_block(const std::string& query, const text::Json& payload,
                        std::size_t action_count, const std::string& trail) {
  return PRIME_RULES + "## Current Focus\n- Query: " + query + "\n\n## Relevant Files (Top " +
         std::to_string(payload["files"].size()) + ")\n" + listed_files(payload) +
         "\n## Relevant Relations (Top " + std::to_string(payload["edges"].size()) + ")\n" +
         listed_relations(payload) + "\n## Action Trail (Recent " + std::to_string(action_count) +
         ")\n" + trail;
}

TEST_F(CrvSession, ScanRetrievePrimeLogAndStats) {
  const auto scan = crv("scan");
  ASSERT_EQ(scan.status, 0) << scan.err;
  const text::Json graph = text::Json::parse(testing::read_text(data_ / "info_graph.json"));
  EXPECT_EQ(scan.out, "Scanned: " + graph["node_count"].dump() + " nodes, " +
                          graph["edge_count"].dump() +
                          " edges\nWrote: " + (data_ / "info_graph.json").string() + "\n");

  const std::string checkout = "fix checkout payment button";
  const text::Json payload = retrieve_json(checkout);
  const auto text = crv("retrieve --query '" + checkout + "'");
  EXPECT_EQ(text.out, "Query: " + checkout + "\n\nRelevant files:\n" + listed_files(payload) +
                          "\nRelevant relations:\n" + listed_relations(payload));
  // Ranking: the capability index names the checkout page for these words, and every
  // chosen row carries its score, role and the query's intent.
  EXPECT_TRUE(lists_file(payload, "web/src/pages/Checkout.tsx")) << listed_files(payload);
  EXPECT_TRUE(lists_file(retrieve_json("cancel an order in the order list"),
                         "web/src/components/features/OrderTable.tsx"));
  for (const text::Json& row : payload["files"]) {
    EXPECT_GT(row.value("_score", 0), 0);
    EXPECT_EQ(row.value("_intent", ""), "edit");
  }

  ASSERT_EQ(crv("action log --kind edit --summary 'Fixed the pay button' --meta '{\"files\": "
                "[\"web/src/pages/Checkout.tsx\"]}'")
                .out,
            "ok\n");
  const auto rejected = crv("action log --kind edit --meta '[1]'");
  EXPECT_EQ(rejected.status, 2);
  EXPECT_EQ(rejected.err, "error: invalid --meta JSON: meta must be a JSON object\n");
  const auto malformed = crv("action log --kind edit --meta '{\"a\":'");
  EXPECT_EQ(malformed.status, 2);
  EXPECT_TRUE(malformed.err.starts_with("error: invalid --meta JSON: parse error"))
      << malformed.err;
  ASSERT_EQ(crv("action log --kind review --summary '\xc3\x9c"
                "berpr\xc3\xbc"
                "fung \xe2\x9c\x93'")
                .status,
            0);
  const std::string log = testing::read_text(data_ / "action_events.jsonl");
  EXPECT_NE(log.find("\"summary\": \"\\u00dcberpr\\u00fcfung \\u2713\", \"meta\": {}}\n"),
            std::string::npos);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);

  const auto prime = crv("prime --query '" + checkout + "'");
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_EQ(prime.out,
            prime_block(checkout, retrieve_json(checkout, "--top-files 12 --top-edges 20"), 2,
                        "- [edit] Fixed the pay button\n- [review] \xc3\x9c"
                        "berpr\xc3\xbc"
                        "fung \xe2\x9c\x93\n"));
  const auto empty_query = crv("prime --recent-actions -1", "CRV_QUERY= ");
  EXPECT_EQ(empty_query.out, prime_block("", retrieve_json("", "--top-files 12 --top-edges 20"), 1,
                                         "- [review] \xc3\x9c"
                                         "berpr\xc3\xbc"
                                         "fung \xe2\x9c\x93\n"));

  dir_.write("tool/data/token_usage.jsonl",
             "{\"mode\": \"prime\", \"total_tokens\": 1200, \"model\": \"m\"}\n"
             "{\"mode\": \"chat\", \"total_tokens\": \"800\"}\n\n"
             "{\"total_tokens\": 99.9}\r\n"
             "not json\n"
             "{\"mode\": \"chat\", \"total_tokens\": true, \"extra\": null}");
  const auto stats = crv("stats");
  EXPECT_EQ(stats.out,
            "Events: 4\nTotal tokens: 2100\n- chat: 801\n- prime: 1200\n- unknown: 99\n");
  EXPECT_EQ(crv("stats --json").out,
            "{\n  \"event_count\": 4,\n  \"total_tokens\": 2100,\n  \"by_mode\": {\n"
            "    \"prime\": 1200,\n    \"chat\": 801,\n    \"unknown\": 99\n  },\n"
            "  \"recent\": [\n    {\n      \"mode\": \"prime\",\n      \"total_tokens\": 1200,\n"
            "      \"model\": \"m\"\n    },\n    {\n      \"mode\": \"chat\",\n"
            "      \"total_tokens\": \"800\"\n    },\n    {\n      \"total_tokens\": 99.9\n    },\n"
            "    {\n      \"mode\": \"chat\",\n      \"total_tokens\": true,\n"
            "      \"extra\": null\n    }\n  ]\n}\n");
  dir_.write("tool/data/token_usage.jsonl", "{\"total_tokens\": \"lots\"}\n");
  const auto bad_stats = crv("stats");
  EXPECT_EQ(bad_stats.status, 1);
  EXPECT_EQ(bad_stats.out, "");
}

}  // namespace
}  // namespace plinthar::query

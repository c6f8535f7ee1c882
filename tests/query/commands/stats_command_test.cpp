#include "plinthar/query/commands/stats_command.hpp"

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

namespace {

TEST(TokenCount, ConvertsIntegersBooleansFloatsAndDecimalText) {
  struct Row {
    const char* record;
    std::int64_t count;
  };
  const Row rows[] = {
      {R"({"total_tokens": 12})", 12},
      {R"({"total_tokens": -3})", -3},
      {R"({"total_tokens": true})", 1},
      {R"({"total_tokens": false})", 0},
      {R"({"total_tokens": 1.9})", 1},
      {R"({"total_tokens": -1.9})", -1},
      {R"({"total_tokens": "2"})", 2},
      {R"({"total_tokens": " -40\n"})", -40},
      {R"({"total_tokens": "+5"})", 5},
      {R"({"mode": "chat"})", 0},
      {R"([1, 2])", 0},
  };
  for (const Row& row : rows)
    EXPECT_EQ(token_count(text::Json::parse(row.record)), row.count) << row.record;
  for (const char* bad :
       {R"({"total_tokens": "1.5"})", R"({"total_tokens": "ten"})", R"({"total_tokens": null})",
        R"({"total_tokens": [1]})", R"({"total_tokens": {}})", R"({"total_tokens": 1e300})",
        R"({"total_tokens": 18446744073709551615})"}) {
    EXPECT_THROW(token_count(text::Json::parse(bad)), Error) << bad;
  }
}

TEST(SummariseTokenUsage, ModesInFirstAppearanceOrderTextSorted) {
  const std::vector<text::Json> events = {
      text::Json::parse(R"({"mode": "b", "total_tokens": 1.9})"),
      text::Json::parse(R"({"mode": "a", "total_tokens": "2"})"),
      text::Json::parse(R"({"total_tokens": 400})"),
      text::Json::parse(R"({"mode": "", "total_tokens": 0})"),
      text::Json::parse(R"({"mode": "two\nlines", "total_tokens": 5})"),
      text::Json::parse("\"not a record\""),
  };
  const text::Json summary = summarise_token_usage(events);
  EXPECT_EQ(summary.dump(),
            R"({"event_count":6,"total_tokens":408,"by_mode":{"b":1,"a":2,"unknown":400,"":0,)"
            R"("two\nlines":5},"recent":[{"mode":"b","total_tokens":1.9},)"
            R"({"mode":"a","total_tokens":"2"},{"total_tokens":400},{"mode":"","total_tokens":0},)"
            R"({"mode":"two\nlines","total_tokens":5},"not a record"]})");
  EXPECT_EQ(format_stats_text(summary),
            "Events: 6\nTotal tokens: 408\n- : 0\n- a: 2\n- b: 1\n- two\\nlines: 5\n"
            "- unknown: 400\n");
}

TEST(SummariseTokenUsage, RecentHoldsTheLastTwentyRecords) {
  std::vector<text::Json> events;
  for (int i = 1; i <= 25; ++i) events.push_back({{"total_tokens", i}, {"n", i}});
  const text::Json summary = summarise_token_usage(events);
  EXPECT_EQ(summary["event_count"], 25);
  EXPECT_EQ(summary["total_tokens"], 325);
  ASSERT_EQ(summary["recent"].size(), 20u);
  EXPECT_EQ(summary["recent"].front()["n"], 6);
  EXPECT_EQ(summary["recent"].back()["n"], 25);
  EXPECT_EQ(format_stats_text(summarise_token_usage({})), "Events: 0\nTotal tokens: 0\n");
}

}  // namespace
}  // namespace plinthar::query

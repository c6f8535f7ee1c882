#include "plinthar/query/data/action_log.hpp"

#include <cstdint>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/data/json_lines.hpp"
#include "plinthar/text/json.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {
namespace fs = std::filesystem;

Locations locations_in(const testing::TempDir& dir) {
  return compute_locations(dir / "bin", [](std::string_view) { return std::nullopt; });
}

TEST(FormatTimestamp, SixFractionDigitsUnlessTheMicrosecondsAreZero) {
  EXPECT_EQ(format_timestamp(1772373909120348), "2026-03-01T14:05:09.120348+00:00");
  EXPECT_EQ(format_timestamp(1772373909000007), "2026-03-01T14:05:09.000007+00:00");
  EXPECT_EQ(format_timestamp(1772373909000000), "2026-03-01T14:05:09+00:00");
  EXPECT_EQ(format_timestamp(0), "1970-01-01T00:00:00+00:00");
  EXPECT_EQ(format_timestamp(-1), "1969-12-31T23:59:59.999999+00:00");
}

// Times a 32-bit time_t cannot hold, on either side.
TEST(FormatTimestamp, TimesBeyondThe32BitRange) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {2147483648000000, "2038-01-19T03:14:08+00:00"},
      {4294967296500000, "2106-02-07T06:28:16.500000+00:00"},
      {-2147483649000000, "1901-12-13T20:45:51+00:00"},
      {253402300799999999, "9999-12-31T23:59:59.999999+00:00"},
  };
  for (const auto& [microseconds, expected] : cases) {
    EXPECT_EQ(format_timestamp(microseconds), expected) << microseconds;
  }
}

// A fragment left by a failed append (full disk, killed writer) has no line feed; the
// next record used to be glued onto it and was never read back.
TEST(AppendLine, RecordAfterAFragmentStandsOnALineOfItsOwn) {
  testing::TempDir dir;
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"", "{\"n\": 2}\n"},
      {"{\"n\": 1}\n", "{\"n\": 1}\n{\"n\": 2}\n"},
      {"{\"n\": 1}\n{\"timestamp\": \"20", "{\"n\": 1}\n{\"timestamp\": \"20\n{\"n\": 2}\n"},
      {"{\"n\": 1}\n{\"summary\": \"caf\xc3", "{\"n\": 1}\n{\"summary\": \"caf\xc3\n{\"n\": 2}\n"},
  };
  for (const auto& row : cases) {
    const fs::path log = dir.write("log.jsonl", row.before);
    append_line(log, "{\"n\": 2}\n");
    EXPECT_EQ(testing::read_text(log), row.after) << row.before;
    const std::string records = row.before.empty() ? R"([{"n":2}])" : R"([{"n":1},{"n":2}])";
    EXPECT_EQ(text::Json(read_json_lines(log)).dump(), records) << row.before;
  }
}

TEST(ReadActionEvents, SkipsBlankAndBrokenLinesKeepsAnyValueAndSlices) {
  testing::TempDir dir;
  const Locations locations = locations_in(dir);
  EXPECT_TRUE(read_action_events(locations).empty());
  dir.write("bin/data/action_events.jsonl",
            "{\"n\": 1}\n\n  \t\n{broken\r\n[2]\r\"three\"\xe2\x80\xa8{\"n\": 4}\n{\"n\": 5}");
  struct Row {
    std::int64_t limit;
    std::string expected;
  };
  const Row rows[] = {
      {8, R"([{"n":1},[2],"three",{"n":4},{"n":5}])"},
      {2, R"([{"n":4},{"n":5}])"},
      {0, R"([{"n":1},[2],"three",{"n":4},{"n":5}])"},
      {-2, R"(["three",{"n":4},{"n":5}])"},
      {-9, "[]"},
      {INT64_MIN, "[]"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(text::Json(read_action_events(locations, row.limit)).dump(), row.expected)
        << row.limit;
  }
}

// One bad byte made every later read of the log fail until someone edited the file; a
// line that is not UTF-8 is now a broken line like any other.
TEST(ReadActionEvents, LinesThatAreNotUtf8AreSkipped) {
  testing::TempDir dir;
  const Locations locations = locations_in(dir);
  dir.write("bin/data/action_events.jsonl",
            "{\"n\": 1}\n{\"kind\": \"\xff\"}\n\xff\n{\"kind\": \"caf\xc3\"}\n"
            "{\"kind\": \"\xed\xa0\x80\"}\n{\"n\": 2}\n{\"n\": \"caf\xc3\xa9\"}");
  EXPECT_EQ(text::Json(read_action_events(locations)).dump(),
            "[{\"n\":1},{\"n\":2},{\"n\":\"caf\xc3\xa9\"}]");
}

}  // namespace
}  // namespace plinthar::query

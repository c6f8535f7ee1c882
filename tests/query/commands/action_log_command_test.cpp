#include "plinthar/query/commands/action_log_command.hpp"

#include <sstream>

#include <gtest/gtest.h>

#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/json.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {
namespace fs = std::filesystem;

Locations locations_in(const testing::TempDir& dir) {
  return compute_locations(dir / "bin", [](std::string_view) { return std::nullopt; });
}

TEST(ParseMeta, OnlyAJsonObjectIsAccepted) {
  EXPECT_EQ(std::get<text::Json>(parse_meta("")), text::Json::object());
  EXPECT_EQ(std::get<text::Json>(parse_meta(" {} \n")), text::Json::object());
  const text::Json meta = std::get<text::Json>(parse_meta(R"({"z": 1, "a": 2, "z": 3})"));
  EXPECT_EQ(meta.dump(), R"({"z":3,"a":2})");
  for (const char* other : {"[1]", "null", "\"text\"", "12", "true"}) {
    EXPECT_EQ(std::get<std::string>(parse_meta(other)), "meta must be a JSON object") << other;
  }
  for (const char* malformed : {"  ", "{x", "{\"a\": 1,}", "{} {}"}) {
    const auto reason = std::get<std::string>(parse_meta(malformed));
    EXPECT_TRUE(reason.starts_with("parse error")) << malformed << ": " << reason;
  }
}

TEST(ActionLogCommand, RejectedMetaLeavesTheLogUntouchedButCreatesTheDataDir) {
  testing::TempDir dir;
  const Locations locations = locations_in(dir);
  ActionLogOptions options{"edit", "", "[1, 2]"};
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(cmd_action_log(options, locations, {in, out, err}), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "error: invalid --meta JSON: meta must be a JSON object\n");
  EXPECT_TRUE(fs::is_directory(locations.data_dir));
  EXPECT_FALSE(fs::exists(locations.action_log));
}

TEST(ActionLogCommand, AppendsOneCompactRecordPerRun) {
  testing::TempDir dir;
  const Locations locations = locations_in(dir);
  ActionLogOptions options{"edit", "caf\xc3\xa9", R"({"files": ["a.ts"]})"};
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(cmd_action_log(options, locations, {in, out, err}), 0);
  options.meta = "";
  ASSERT_EQ(cmd_action_log(options, locations, {in, out, err}), 0);
  EXPECT_EQ(out.str(), "ok\nok\n");
  const std::string log = testing::read_text(locations.action_log);
  const auto first_end = log.find('\n');
  const text::Json first = text::Json::parse(log.substr(0, first_end));
  EXPECT_EQ(log.substr(0, first_end),
            "{\"timestamp\": " + first["timestamp"].dump() +
                ", \"kind\": \"edit\", \"summary\": \"caf\\u00e9\", \"meta\": {\"files\": "
                "[\"a.ts\"]}}");
  EXPECT_TRUE(log.substr(first_end + 1).ends_with("\"meta\": {}}\n"));
  const auto events = read_action_events(locations, 0);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0]["summary"], "caf\xc3\xa9");
}

}  // namespace
}  // namespace plinthar::query

#include "plinthar/query/commands/value_text.hpp"

#include <gtest/gtest.h>

#include "plinthar/text/json.hpp"

namespace plinthar::query {

namespace {

TEST(PrintedMember, MissingMemberAndNonMapGiveTheFallback) {
  const text::Json edge = {{"from", "a"}, {"to", nullptr}};
  EXPECT_EQ(printed_member(edge, "from", "None"), "a");
  EXPECT_EQ(printed_member(edge, "to", "None"), "null");
  EXPECT_EQ(printed_member(edge, "rel", "None"), "None");
  EXPECT_EQ(printed_member(text::Json::array({1}), "kind", "unknown"), "unknown");
}

}  // namespace
}  // namespace plinthar::query

#include "plinthar/index/records.hpp"

#include <string>

#include <gtest/gtest.h>

namespace plinthar::index {
namespace {

TEST(Records, PreparingLowersTheTextsAndCountsEveryEdgeEnd) {
  GraphRecords records;
  records.nodes.reserve(2);
  NodeRecord& page = records.nodes.emplace_back();
  page.id = {"Web/Page.TSX", nullptr, true};
  page.ext = ".TSX";
  page.summary = "Ärger im Café";
  page.keywords = "page";
  NodeRecord& other = records.nodes.emplace_back();
  other.id = {"lib.py", nullptr, true};
  for (const auto& [from, to] : {std::pair{"Web/Page.TSX", "lib.py"},
                                 {"lib.py", "Web/Page.TSX"},
                                 {"Web/Page.TSX", "react"}}) {
    EdgeRecord& edge = records.edges.emplace_back();
    edge.from = {from, nullptr, true};
    edge.to = {to, nullptr, true};
    edge.rel = "imports";
  }
  prepare_records(records);
  EXPECT_EQ(page.id_lower.text, "web/page.tsx");
  EXPECT_EQ(page.ext_lower, ".tsx");
  EXPECT_EQ(page.summary_lower.text, "ärger im café");
  EXPECT_EQ(page.keywords_lower.text.data(), page.keywords.data());  // unchanged: no copy
  EXPECT_EQ(page.degree, 3);
  EXPECT_EQ(other.degree, 2);
  EXPECT_EQ(records.edges[2].to_lower.text, "react");
}

}  // namespace
}  // namespace plinthar::index

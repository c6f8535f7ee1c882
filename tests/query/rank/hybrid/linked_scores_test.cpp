#include "plinthar/query/rank/hybrid/linked_scores.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace plinthar::query::hybrid {
namespace {

// Files 0 to 5: orders.py imports db.py and is required by page.js (another "to" form);
// test_orders.py and orders.py pair by stem, as do the two "ab" files (too short a
// stem) and nine "cart" files (too many to pair).
class LinkedScores : public ::testing::Test {
 protected:
  LinkedScores() {
    add_file("api/orders.py");
    add_file("api/db.py");
    add_file("tests/test_orders.py");
    add_file("web/page.js");
    add_file("a/ab.py");
    add_file("b/ab.py");
    for (int i = 0; i < 9; ++i) add_file("cart" + std::to_string(i) + "/cart.py");
    add_edge("api/orders.py", ".db", "imports");
    add_edge("web/page.js", "../api/orders.py", "requires");
    add_edge("api/orders.py", "api/orders.py::x", "contains");
    for (const Edge& edge : edges_) builder_.add_edge(edge.from, edge.to, edge.rel);
    bytes_ = builder_.finish();
    stats_ = index::TermStats::open(bytes_);
  }
  void add_file(std::string id) {
    ids_.push_back(std::move(id));
    builder_.add_node({ids_.back(), "file", ids_.back(), "", "", 0, {}});
  }
  void add_edge(std::string from, std::string to, std::string rel) {
    edges_.push_back({std::move(from), std::move(to), std::move(rel)});
    records_.edges.emplace_back().rel = edges_.back().rel;
  }
  TextScores scores(std::vector<double> score) const {
    score.resize(stats_->file_count(), 0.0);
    TextScores text{score, {}};
    for (std::uint32_t f = 0; f < score.size(); ++f) {
      if (score[f] > 0) text.matched.push_back(f);
    }
    return text;
  }

  struct Edge {
    std::string from, to, rel;
  };
  std::deque<std::string> ids_;
  std::deque<Edge> edges_;  // the records view their texts
  scanner::TermStatsBuilder builder_;
  std::string bytes_;
  std::optional<index::TermStats> stats_;
  index::GraphRecords records_;
};

TEST_F(LinkedScores, NeighboursTakeTheBestScoreAcrossEdgesEitherWay) {
  ASSERT_TRUE(stats_);
  const auto best = best_neighbour_scores(records_, *stats_, scores({0, 2, 0, 5}));
  EXPECT_EQ(best[0], 5.0);  // required by page.js, which scores more than db.py
  EXPECT_EQ(best[1], 0.0);  // orders.py has no score of its own
  EXPECT_EQ(best[3], 0.0);
  EXPECT_EQ(best[2], 0.0);  // no edge
  EXPECT_EQ(best_neighbour_scores(records_, *stats_, scores({1}))[1], 1.0);
}

TEST_F(LinkedScores, CompanionsPairInSmallGroupsOfLongEnoughStems) {
  ASSERT_TRUE(stats_);
  std::vector<double> score(15, 0.0);
  score[0] = 3;
  score[2] = 4;
  score[4] = 1;
  score[6] = 2;
  const auto best = best_companion_scores(*stats_, scores(score));
  EXPECT_EQ(best[0], 4.0);
  EXPECT_EQ(best[2], 3.0);
  EXPECT_EQ(best[5], 0.0);  // "ab" is too short a stem
  EXPECT_EQ(best[7], 0.0);  // nine "cart" files are too many
  EXPECT_EQ(best[1], 0.0);
}

TEST_F(LinkedScores, EqualBestScoresAreSharedByTheirHolders) {
  ASSERT_TRUE(stats_);
  const auto best = best_companion_scores(*stats_, scores({2, 0, 2}));
  EXPECT_EQ(best[0], 2.0);
  EXPECT_EQ(best[2], 2.0);
}

}  // namespace
}  // namespace plinthar::query::hybrid

#include "plinthar/query/rank/hybrid/hybrid_query.hpp"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::query::hybrid {
namespace {

TEST(HybridQuery, WeighsScopeTermsAndReadsWhatKindOfFileTheTaskAsksFor) {
  using Terms = std::vector<std::pair<std::string, double>>;
  const struct {
    const char* query;
    Terms terms;
    bool version, docs, config, tests;
  } cases[] = {
      {"fix(persist): keep the storage key",
       {{"persist", 2}, {"keep", 1}, {"storag", 1}, {"key", 1}},
       false,
       false,
       false,
       false},
      // Not a commit type: the prefix names a function and stays a term.
      {"make_test_environ_builder: accept a dict",
       {{"test", 1},
        {"environ", 1},
        {"builder", 1},
        {"maketestenvironbuilder", 1},
        {"accept", 1},
        {"dict", 1}},
       false,
       false,
       false,
       true},
      {"feat(orders, cart)!: Orders", {{"order", 2}, {"cart", 2}}, false, false, false, false},
      {"Bump version", {{"bump", 1}, {"version", 1}}, true, false, false, false},
      {"v1.2 fixes", {{"v1", 1}}, true, false, false, false},
      {"docs: typo in README", {{"typo", 1}, {"readm", 1}}, false, true, false, false},
      {"ci workflow", {{"ci", 1}, {"workflow", 1}}, false, false, true, false},
      {"add coverage for specs", {{"coverag", 1}, {"spec", 1}}, false, false, false, true},
      {"", {}, false, false, false, false},
  };
  for (const auto& c : cases) {
    const HybridQuery query = analyse_hybrid_query(c.query);
    Terms terms;
    for (const WeightedTerm& term : query.terms) terms.emplace_back(term.term, term.weight);
    EXPECT_EQ(terms, c.terms) << c.query;
    EXPECT_EQ(query.wants_version, c.version) << c.query;
    EXPECT_EQ(query.wants_docs, c.docs) << c.query;
    EXPECT_EQ(query.wants_config, c.config) << c.query;
    EXPECT_EQ(query.wants_tests, c.tests) << c.query;
  }
}

}  // namespace
}  // namespace plinthar::query::hybrid

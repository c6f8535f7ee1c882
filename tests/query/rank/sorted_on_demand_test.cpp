#include "plinthar/query/rank/sorted_on_demand.hpp"

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::query {
namespace {

struct Item {
  int key;
  std::size_t position;
};

TEST(SortedOnDemand, EveryPrefixMatchesAStableSort) {
  std::mt19937 random(7);
  const auto before = [](const Item& a, const Item& b) {
    return a.key != b.key ? a.key < b.key : a.position < b.position;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<Item> items(random() % 400);
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = {static_cast<int>(random() % 9), i};
    std::vector<Item> expected = items;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Item& a, const Item& b) { return a.key < b.key; });
    SortedOnDemand sorted(items, before);
    // Reads jump ahead and back, as the choice of rows does when it skips entries.
    const std::size_t limit = items.empty() ? 0 : random() % items.size() + 1;
    for (std::size_t i = 0; i < limit; i += 1 + random() % 3) {
      ASSERT_EQ(sorted[i].position, expected[i].position) << "round " << round << " index " << i;
      ASSERT_EQ(sorted[i / 2].position, expected[i / 2].position);
    }
  }
}

}  // namespace
}  // namespace plinthar::query

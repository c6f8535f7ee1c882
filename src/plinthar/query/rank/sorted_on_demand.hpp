#pragma once

// A sequence put in order only as far as it is read. Ranking sorts tens of thousands of
// candidates but reads a few dozen of them: reading the first k of n items costs about
// n log k comparisons instead of n log n.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace plinthar::query {

template <typename Item, typename Before>
class SortedOnDemand {
 public:
  // `before` must be a strict total order (no two items equivalent), so that the order
  // does not depend on how far the sequence was sorted.
  SortedOnDemand(std::vector<Item> items, Before before)
      : items_(std::move(items)), before_(std::move(before)) {}

  std::size_t size() const { return items_.size(); }

  // The item at `index` in order; index < size().
  const Item& operator[](std::size_t index) {
    if (index >= sorted_) sort_past(index);
    return items_[index];
  }

 private:
  static constexpr std::size_t FIRST_BATCH = 64;

  // Everything after the sorted prefix ranks after it, so the prefix grows by selecting
  // the least of the rest; batches double, keeping the total work near one selection.
  void sort_past(std::size_t index) {
    const std::size_t wanted = std::max({index + 1, 2 * sorted_, FIRST_BATCH});
    const std::size_t end = std::min(wanted, items_.size());
    const auto first = items_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    std::partial_sort(first, items_.begin() + static_cast<std::ptrdiff_t>(end), items_.end(),
                      before_);
    sorted_ = end;
  }

  std::vector<Item> items_;
  Before before_;
  std::size_t sorted_ = 0;
};

}  // namespace plinthar::query

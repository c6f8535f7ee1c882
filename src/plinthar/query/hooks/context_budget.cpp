#include "plinthar/query/hooks/context_budget.hpp"

#include <algorithm>
#include <vector>

#include "plinthar/error.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {
namespace {

// What a fitted block keeps: the first `lines` of the files list followed by the
// relations, and the newest `actions` of the trail.
struct Kept {
  std::size_t lines = 0;
  std::size_t actions = 0;
};

std::string block_keeping(const PrimeContent& content, Kept kept) {
  RetrieveResult result;
  const std::size_t files = std::min(kept.lines, content.result.files.size());
  const std::size_t edges = std::min(kept.lines - files, content.result.edges.size());
  result.files.assign(content.result.files.begin(), content.result.files.begin() + files);
  result.edges.assign(content.result.edges.begin(), content.result.edges.begin() + edges);
  const std::size_t actions = std::min(kept.actions, content.actions.size());
  const std::vector<Json> newest(content.actions.end() - static_cast<std::ptrdiff_t>(actions),
                                 content.actions.end());
  return format_prime(content.query, result, newest, content.actions.size() - actions);
}

bool fits(const std::string& block, std::int64_t max_chars) {
  return max_chars >= 0 && text::cp_length(block) <= static_cast<std::uint64_t>(max_chars);
}

// A pasted traceback as the prompt or a long one-line command in the log would otherwise
// take the room of the files.
void shorten_long_values(PrimeContent& content) {
  content.query = text::cp_shortened(content.query, MOST_QUERY_CHARS);
  for (Json& record : content.actions) {
    const auto summary = record.find("summary");
    if (summary != record.end() && summary->is_string()) {
      *summary = text::cp_shortened(summary->get_ref<const std::string&>(), MOST_SUMMARY_CHARS);
    }
  }
}

// The most of `high` things a block may keep when keeping fewer never lengthens it,
// found by halving: `fits_with(0)` is taken to hold and `fits_with(high)` not to.
template <typename FitsWith>
std::size_t most_that_fit(std::size_t high, const FitsWith& fits_with) {
  std::size_t low = 0;
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    (fits_with(middle) ? low : high) = middle;
  }
  return low;
}

// The most of the newest actions that leave room for every file (the whole trail is
// known not to).
std::size_t actions_beside_files(const PrimeContent& content, std::int64_t max_chars) {
  const std::size_t files = content.result.files.size();
  return most_that_fit(content.actions.size(), [&](std::size_t actions) {
    return fits(block_keeping(content, {files, actions}), max_chars);
  });
}

}  // namespace

std::string fit_prime_block(PrimeContent content, std::int64_t max_chars) {
  shorten_long_values(content);
  const std::size_t all = content.result.files.size() + content.result.edges.size();
  std::size_t actions = content.actions.size();
  if (!fits(block_keeping(content, {0, actions}), max_chars)) {
    actions = actions_beside_files(content, max_chars);
    if (!fits(block_keeping(content, {0, actions}), max_chars)) {
      throw Error("the context block does not fit in " + std::to_string(max_chars) +
                  " characters even without files, relations and actions");
    }
  }
  std::string block = block_keeping(content, {all, actions});
  if (fits(block, max_chars)) return block;
  // Keeping no lines fits (made sure of above); keeping all of them does not.
  const std::size_t lines = most_that_fit(all, [&](std::size_t kept) {
    return fits(block_keeping(content, {kept, actions}), max_chars);
  });
  return block_keeping(content, {lines, actions});
}

}  // namespace plinthar::query

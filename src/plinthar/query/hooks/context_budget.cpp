#include "plinthar/query/hooks/context_budget.hpp"

#include <algorithm>

#include "plinthar/error.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {
namespace {

// The block keeping the first `kept` lines of the files list followed by the relations.
std::string block_keeping(const PrimeContent& content, std::size_t kept) {
  RetrieveResult result;
  const std::size_t files = std::min(kept, content.result.files.size());
  const std::size_t edges = std::min(kept - files, content.result.edges.size());
  result.files.assign(content.result.files.begin(), content.result.files.begin() + files);
  result.edges.assign(content.result.edges.begin(), content.result.edges.begin() + edges);
  return format_prime(content.query, result, content.actions);
}

bool fits(const std::string& block, std::int64_t max_chars) {
  return max_chars >= 0 && text::cp_length(block) <= static_cast<std::uint64_t>(max_chars);
}

}  // namespace

std::string fit_prime_block(PrimeContent content, std::int64_t max_chars) {
  const std::size_t all = content.result.files.size() + content.result.edges.size();
  std::string block = block_keeping(content, all);
  if (fits(block, max_chars)) return block;
  // Dropping a line never lengthens the block, so the most lines that fit are found by
  // halving: `low` lines always fit, `high` never do.
  if (!fits(block_keeping(content, 0), max_chars)) {
    throw Error("the context block does not fit in " + std::to_string(max_chars) +
                " characters even without files and relations");
  }
  std::size_t low = 0;
  std::size_t high = all;
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    (fits(block_keeping(content, middle), max_chars) ? low : high) = middle;
  }
  return block_keeping(content, low);
}

}  // namespace plinthar::query

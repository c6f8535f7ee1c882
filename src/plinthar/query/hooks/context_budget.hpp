#pragma once

// Fitting the prime block into the share of an assistant's context a hook may fill.

#include <cstddef>
#include <cstdint>
#include <string>

#include "plinthar/query/commands/prime_command.hpp"

namespace plinthar::query {

// The most characters of the query and of each action summary in a fitted block. The
// assistant has its prompt and its own actions already; the block is there for the files.
inline constexpr std::size_t MOST_QUERY_CHARS = 300;
inline constexpr std::size_t MOST_SUMMARY_CHARS = 300;

// The prime block of `content` in at most `max_chars` characters (code points). The query
// and the action summaries are first shortened to the lengths above. Whole lines are then
// dropped from the end of the relations and then of the files, and each heading counts
// the lines left below it. When the action trail leaves no room for any of them, the
// oldest actions are dropped first until the files fit beside the rest. Throws
// plinthar::Error when even the block without files, relations and actions is longer.
std::string fit_prime_block(PrimeContent content, std::int64_t max_chars);

}  // namespace plinthar::query

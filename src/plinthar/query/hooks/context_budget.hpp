#pragma once

// Fitting the prime block into the share of an assistant's context a hook may fill.

#include <cstdint>
#include <string>

#include "plinthar/query/commands/prime_command.hpp"

namespace plinthar::query {

// The prime block of `content` in at most `max_chars` characters (code points): whole
// lines are dropped from the end of the relations and then of the files, and each
// heading counts the lines left below it. Throws plinthar::Error when even the block
// without files and relations is longer.
std::string fit_prime_block(PrimeContent content, std::int64_t max_chars);

}  // namespace plinthar::query

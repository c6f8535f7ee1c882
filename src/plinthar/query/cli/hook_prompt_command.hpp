#pragma once

// `crv hook prompt`: the context block for the prompt of a prompt-submit event, sized
// for the assistant's context and never in the prompt's way.

#include <iosfwd>
#include <string>

#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/cli/prime_command.hpp"

namespace plinthar::query {

// Reads the event from standard input and prints the prime block for its prompt in at
// most --max-chars characters; prints nothing for a blank prompt. Fails open (see
// hook_guard.hpp).
int cmd_hook_prompt(const Args& args, const Locations& locations, std::ostream& out,
                    std::ostream& err);

// How the hook primes for `prompt`: the sizes of `args`, and the choice of refresh and
// ranking.
PrimeOptions hook_prime_options(const Args& args, std::string prompt);

}  // namespace plinthar::query

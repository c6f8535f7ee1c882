#pragma once

// `crv hook prompt`: the context block for the prompt of a prompt-submit event, sized
// for the assistant's context and never in the prompt's way.

#include <cstdint>
#include <string>

#include "plinthar/query/commands/prime_block.hpp"
#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/hooks/hook_guard.hpp"

namespace plinthar::query {

// The prime block's options as a hook takes them: the graph brought up to date and
// ranked with the hybrid ranking unless told otherwise.
PrimeOptions hook_prime_defaults();

struct HookPromptOptions {
  PrimeOptions prime = hook_prime_defaults();  // its query is the event's prompt
  std::int64_t max_chars = 9000;
  HookGuard guard;
};

// Reads the event from the input stream and prints the prime block for its prompt in
// at most --max-chars characters; prints nothing for a blank prompt. Fails open (see
// hook_guard.hpp).
int cmd_hook_prompt(const HookPromptOptions& options, const Locations& locations,
                    const Streams& streams);

}  // namespace plinthar::query

#pragma once

// Quick tests that rule out the route-registration and HTTP-call keyword patterns before
// they run. Both patterns have no literal first character that the engine could jump
// to, so on a file without any match they still try every position; most files have
// none, and these tests settle that with a few byte comparisons around each "." or "(".
//
// A test may answer true for a text without a match (the pattern then runs as usual),
// but never false for a text with one. Every non-ASCII byte is taken as a possible
// match, since Unicode white space and the case-insensitive forms of "s" and "k" are
// multi-byte.

#include <string_view>

namespace plinthar::scanner {

// False only when `text` has no match of the route-registration keyword pattern
// (`app.get(`, `router.post("/x"` and the like, any letter case).
bool may_register_route(std::string_view text);

// False only when `text` has no match of the HTTP-call keyword pattern (`fetch(`,
// `axios.get(`, `requests.post(` and the like followed by a quoted URL or path).
bool may_call_http(std::string_view text);

}  // namespace plinthar::scanner

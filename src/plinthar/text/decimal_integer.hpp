#pragma once

// Reading integers written as decimal text, the way the command line and the token log
// supply them.

#include <cstdint>
#include <optional>
#include <string_view>

namespace plinthar::text {

enum class OutOfRange { REJECT, SATURATE };

// The integer in `text`: optional surrounding white space, an optional "+" or "-",
// then one or more ASCII digits (leading zeros allowed; no other base). Nothing for any
// other text. A value beyond the 64-bit range is rejected, or clamped to the nearest
// bound with OutOfRange::SATURATE (where only the order of magnitude matters, as for a
// result limit).
std::optional<std::int64_t> parse_decimal_integer(std::string_view text,
                                                  OutOfRange out_of_range = OutOfRange::REJECT);

}  // namespace plinthar::text

#pragma once

// Lower-casing on the ranking path together with the character set of the result.

#include <string>
#include <string_view>

#include "plinthar/query/rank/char_mask.hpp"

namespace plinthar::query {

// text::lowered() with the character set of the result, in one pass over texts that need
// no lowering.
MaskedText lowered_masked(std::string_view text, std::string& buffer);

}  // namespace plinthar::query

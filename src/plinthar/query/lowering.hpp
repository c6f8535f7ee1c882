#pragma once

// Lower-casing on the ranking path, where almost every text is ASCII and most are lower
// case already: such texts are used as they stand, and others are lowered into a buffer
// that is reused from call to call.

#include <string>
#include <string_view>

#include "plinthar/query/char_mask.hpp"

namespace plinthar::query {

// `text` lower-cased (full Unicode lower-casing): `text` itself when lowering changes
// nothing, else a view of `buffer`, which holds the lowered text until its next use.
std::string_view lowered(std::string_view text, std::string& buffer);

// lowered() with the character set of the result, in one pass over texts that need no
// lowering.
MaskedText lowered_masked(std::string_view text, std::string& buffer);

}  // namespace plinthar::query

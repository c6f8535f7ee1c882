#pragma once

// Unicode case mapping of UTF-8 text.

#include <string>
#include <string_view>

namespace plinthar::text {

// Full Unicode lower-casing (one code point may become several).
std::string to_lower(std::string_view text);

// Full Unicode upper-casing.
std::string to_upper(std::string_view text);

// `text` lower-cased as to_lower does: `text` itself when lowering changes nothing (almost
// every text on the ranking path is ASCII and lower case already), else a view of
// `buffer`, which holds the lowered text until its next use.
std::string_view lowered(std::string_view text, std::string& buffer);

}  // namespace plinthar::text

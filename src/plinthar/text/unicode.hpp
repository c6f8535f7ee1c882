#pragma once

// What the Unicode character database says of text: case mapping of UTF-8 text and the
// properties of code points. The one place that calls ICU.

#include <string>
#include <string_view>

namespace plinthar::text {

// Whether `cp` has the Unicode Uppercase property.
bool is_uppercase(char32_t cp);

// Whether `cp` has the Unicode White_Space property.
bool is_unicode_white_space(char32_t cp);

// Full Unicode lower-casing (one code point may become several).
std::string to_lower(std::string_view text);

// Full Unicode upper-casing.
std::string to_upper(std::string_view text);

// `text` lower-cased as to_lower does: `text` itself when lowering changes nothing (almost
// every text on the ranking path is ASCII and lower case already), else a view of
// `buffer`, which holds the lowered text until its next use.
std::string_view lowered(std::string_view text, std::string& buffer);

}  // namespace plinthar::text

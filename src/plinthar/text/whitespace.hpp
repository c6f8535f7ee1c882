#pragma once

// White space in UTF-8 text.

#include <string_view>
#include <vector>

namespace plinthar::text {

// Unicode white space, plus the information separators U+001C..U+001F, which plain
// text tools treat as white space too.
bool is_space(char32_t cp);

// `text` without leading and trailing white space.
std::string_view trim(std::string_view text);
std::string_view trim_left(std::string_view text);

// Pieces of `text` between runs of white space; no empty pieces.
std::vector<std::string_view> split_whitespace(std::string_view text);

}  // namespace plinthar::text

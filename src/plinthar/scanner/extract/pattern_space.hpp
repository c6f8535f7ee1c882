#pragma once

// White space as the regular expressions see it (`\s`), for hand-written scanners that
// stand in for a pattern.

#include <cstddef>
#include <string_view>

namespace plinthar::scanner {

// Bytes of the `\s` character at `pos` (ASCII white space directly, any other character
// asked of the regex engine), or 0 when the character there is not white space.
std::size_t pattern_space_length(std::string_view text, std::size_t pos);

// Offset just past the run of `\s` characters starting at `pos`.
std::size_t skip_pattern_space(std::string_view text, std::size_t pos);

}  // namespace plinthar::scanner

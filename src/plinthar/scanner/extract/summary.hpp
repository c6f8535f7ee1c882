#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plinthar::scanner {

// One-line summary of a file (at most 250 characters): a lead sentence, the domain
// named by its path, and up to five declared names. `path` is the file id.
std::string _make_summary(std::string_view content, std::string_view path, std::string_view ext);

// Text of a block comment that opens `content` (after optional white space), from
// past "/*", an optional second "*" and white space, up to its first "*/"; nothing
// when the text does not open with a closed block comment.
std::optional<std::string_view> leading_block_comment(std::string_view content);

}  // namespace plinthar::scanner

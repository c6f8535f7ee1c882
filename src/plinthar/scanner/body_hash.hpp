#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plinthar::scanner {

// Short hash of lines[start..end] (inclusive) joined with "\n". An `end` past the last
// line stops at the last line; a `start` past `end` or past the lines hashes "".
std::string _body_hash(const std::vector<std::string_view>& lines, std::int64_t start,
                       std::int64_t end);

}  // namespace plinthar::scanner

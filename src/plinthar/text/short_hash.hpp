#pragma once

#include <string>
#include <string_view>

namespace plinthar::text {

// First 8 lower-case hexadecimal digits of the MD5 digest of `text`'s bytes.
std::string short_hash(std::string_view text);

}  // namespace plinthar::text

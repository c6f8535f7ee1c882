#pragma once

#include <string>
#include <string_view>

namespace plinthar::scanner {

// One-line summary of a file (at most 250 characters): a lead sentence, the domain
// named by its path, and up to five declared names. `path` is the file id.
std::string _make_summary(std::string_view content, std::string_view path, std::string_view ext);

}  // namespace plinthar::scanner

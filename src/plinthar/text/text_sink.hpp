#pragma once

#include <functional>
#include <string_view>

namespace plinthar::text {

// Receives successive pieces of a text being produced, e.g. to write them to a file.
using TextSink = std::function<void(std::string_view)>;

}  // namespace plinthar::text

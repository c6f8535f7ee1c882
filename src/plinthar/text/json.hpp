#pragma once

#include <nlohmann/json.hpp>

namespace plinthar::text {

// A JSON value whose objects keep insertion order.
using Json = nlohmann::ordered_json;

}  // namespace plinthar::text

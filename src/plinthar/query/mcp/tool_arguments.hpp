#pragma once

// A tool's arguments once they passed its input schema: each read as given, or as the
// default the schema names.

#include <cstdint>
#include <string>
#include <string_view>

#include "plinthar/text/json.hpp"

namespace plinthar::query::mcp {

using text::Json;

class ToolArguments {
 public:
  // `given` must conform to `input_schema`; both must outlive this.
  ToolArguments(const Json& given, const Json& input_schema)
      : given_(given), schema_(input_schema) {}

  std::string text(std::string_view key) const;
  std::int64_t integer(std::string_view key) const;

 private:
  const Json& value(std::string_view key) const;

  const Json& given_;
  const Json& schema_;
};

}  // namespace plinthar::query::mcp

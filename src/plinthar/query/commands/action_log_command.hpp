#pragma once

// `crv action log`: one record appended to the action log.

#include <string>
#include <string_view>
#include <variant>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

struct ActionLogOptions {
  std::string kind;
  std::string summary;
  std::string meta;
};

// Creates the data directory, validates --meta and appends the record; prints "ok".
// A rejected --meta prints "error: invalid --meta JSON: <reason>" on the error stream,
// leaves the log untouched and returns 2.
int cmd_action_log(const ActionLogOptions& options, const Locations& locations,
                   const Streams& streams);

// The metadata object of a --meta text ("" means an empty object), or the reason it is
// rejected.
std::variant<text::Json, std::string> parse_meta(std::string_view text);

}  // namespace plinthar::query

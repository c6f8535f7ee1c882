#pragma once

// `crv prime`: the markdown context block that assistant hooks feed to the assistant.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

inline constexpr std::string_view DEFAULT_PRIME_QUERY = "General codebase maintenance task";

// Loads the graph, retrieves for the query, reads the recent actions and prints the
// block; nothing is printed when any of these fails.
int cmd_prime(const Args& args, const Locations& locations, std::ostream& out, std::ostream& err);

// The query of the block: `option` when not empty, else `env_query` when the variable
// is set (even to the empty text), else the default task.
std::string prime_query(std::string_view option, const std::optional<std::string>& env_query);

// The block for `query`, the retrieval result and the recent action records. Every
// value is kept on its own line; the block ends with the last action line's break.
std::string format_prime(std::string_view query, const RetrieveResult& result,
                         const std::vector<Json>& actions);

}  // namespace plinthar::query

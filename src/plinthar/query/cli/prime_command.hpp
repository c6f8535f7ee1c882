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

// What a block is made of and how it is chosen: `refresh` brings the graph up to date
// with the project first, `rank` names the ranking ("classic" or "hybrid").
struct PrimeOptions {
  std::string query;
  std::int64_t top_files = 12;
  std::int64_t top_edges = 20;
  std::int64_t recent_actions = 8;
  bool refresh = false;
  std::string rank = "classic";
};

// The parts of a block: the query, what retrieval chose for it, the recent actions.
struct PrimeContent {
  std::string query;
  RetrieveResult result;
  std::vector<Json> actions;
};

// Loads the graph, retrieves for the query and reads the recent actions, in that order.
// Throws plinthar::Error when any of these fails, or for an unknown ranking.
PrimeContent gather_prime(const PrimeOptions& options, const Locations& locations);

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

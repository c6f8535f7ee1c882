#pragma once

// The markdown context block that `crv prime` prints and the hook commands and the
// assistant server hand to an assistant: rules, the query, the chosen files and
// relations, the recent actions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/query/commands/ranked_retrieval.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

inline constexpr std::string_view DEFAULT_PRIME_QUERY = "General codebase maintenance task";

// The ranking of a block: fewer files and relations than `crv retrieve` lists.
RankingRequest prime_ranking_defaults();

// What a block is made of and how it is chosen: the ranking, and how many recent actions
// it lists.
struct PrimeOptions {
  RankingRequest ranking = prime_ranking_defaults();
  std::int64_t recent_actions = 8;
};

// The parts of a block: the query, what retrieval chose for it, the recent actions.
struct PrimeContent {
  std::string query;
  RetrieveResult result;
  std::vector<Json> actions;
};

// Loads the graph, retrieves for the query and reads the recent actions, in that order.
// Throws plinthar::Error when any of these fails.
PrimeContent gather_prime(const PrimeOptions& options, const Locations& locations,
                          const Deferral* deferral = nullptr);

// The query of the block: `option` when not empty, else `env_query` when the variable
// is set (even to the empty text), else the default task.
std::string prime_query(std::string_view option, const std::optional<std::string>& env_query);

// The block for `query`, the retrieval result and the recent action records. Every
// value is kept on its own line; the block ends with the last action line's break.
// `actions_left_out` counts the recent actions a block cut to a budget does not list;
// with none listed, the trail says so instead of claiming there are none.
std::string format_prime(std::string_view query, const RetrieveResult& result,
                         const std::vector<Json>& actions, std::size_t actions_left_out = 0);

}  // namespace plinthar::query

#pragma once

// Ranking a project's graph for a task: what retrieve, prime and the hook commands share.

#include <cstdint>
#include <string>
#include <string_view>

#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/rank/retrieval.hpp"

namespace plinthar::query {

enum class Ranking { classic, hybrid };

// The names of the rankings, as `--rank` takes them; the first is the default.
inline constexpr std::string_view RANKING_NAMES[] = {"classic", "hybrid"};
std::string_view ranking_name(Ranking ranking);

// What to rank for, and how: `refresh` brings the graph up to date with the project
// first. The sizes are those of `crv retrieve`.
struct RankingRequest {
  std::string query;
  std::int64_t top_files = 20;
  std::int64_t top_edges = 40;
  bool refresh = false;
  Ranking rank = Ranking::classic;
};

struct Deferral;

// Loads the graph (refreshed when asked; with `deferral`, leaving long work to the
// background as graph_source.hpp says) and ranks it as `request` says.
RetrieveResult ranked_retrieval(const RankingRequest& request, const Locations& locations,
                                const Deferral* deferral = nullptr);

}  // namespace plinthar::query

#include "plinthar/query/commands/ranked_retrieval.hpp"

#include "plinthar/query/commands/graph_source.hpp"
#include "plinthar/query/rank/hybrid/hybrid.hpp"

namespace plinthar::query {

std::string_view ranking_name(Ranking ranking) {
  return RANKING_NAMES[static_cast<std::size_t>(ranking)];
}

RetrieveResult ranked_retrieval(const RankingRequest& request, const Locations& locations,
                                const Deferral* deferral) {
  const bool hybrid = request.rank == Ranking::hybrid;
  const LoadedGraph graph =
      graph_for_ranking(graph_place(locations), request.refresh, hybrid, deferral);
  if (hybrid) {
    return retrieve_hybrid(graph.records(), *graph.term_stats(), request.query, request.top_files,
                           request.top_edges, locations.capability_index);
  }
  return retrieve(graph.records(), request.query, request.top_files, request.top_edges,
                  locations.capability_index);
}

}  // namespace plinthar::query

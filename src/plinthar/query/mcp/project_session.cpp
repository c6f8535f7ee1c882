#include "plinthar/query/mcp/project_session.hpp"

#include <utility>

#include "plinthar/query/commands/graph_source.hpp"

namespace plinthar::query::mcp {

ProjectSession::ProjectSession(Locations locations, SessionOptions options, Clock clock)
    : locations_(std::move(locations)), options_(options), clock_(std::move(clock)) {}

bool ProjectSession::refresh_due() const {
  return options_.refresh && clock_() - last_look_ >= options_.refresh_interval;
}

void ProjectSession::take(LoadedGraph graph) {
  project_ = std::make_unique<LoadedProject>(std::move(graph));
  ++loads_;
}

// A look costs what a refresh costs (the status of every file of the tree); the index of
// the graph file it leaves tells whether the graph in memory is still that file, so it
// is read again only when it is not (the tree changed, or another crv rewrote the graph).
void ProjectSession::look_for_changes() {
  CurrentGraph current = current_graph(graph_place(locations_), true, true);
  if (current.index && project_->made_from(*current.index)) return;
  take(read_for_ranking(std::move(current), true));
}

LoadedProject& ProjectSession::project() {
  if (!project_) {
    take(graph_for_ranking(graph_place(locations_), options_.refresh, true));
    last_look_ = clock_();
  } else if (refresh_due()) {
    look_for_changes();
    last_look_ = clock_();
  }
  return *project_;
}

}  // namespace plinthar::query::mcp

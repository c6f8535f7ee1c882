#include "plinthar/query/mcp/project_session.hpp"

#include <utility>

#include "plinthar/scanner/refresh.hpp"

namespace plinthar::query::mcp {

ProjectSession::ProjectSession(Locations locations, SessionOptions options, Clock clock)
    : locations_(std::move(locations)), options_(options), clock_(std::move(clock)) {}

bool ProjectSession::refresh_due() const {
  return options_.refresh && clock_() - last_look_ >= options_.refresh_interval;
}

void ProjectSession::take(LoadedGraph graph) {
  project_ = std::make_unique<LoadedProject>(std::move(graph), locations_.graph_json);
  ++loads_;
}

// A look costs what load_graph's refresh costs (the status of every file of the tree);
// the index that a refresh finding nothing changed hands back tells whether the graph
// in memory is still that graph file, so it is loaded again only when it is not (the
// tree changed, or another crv rewrote the graph).
void ProjectSession::look_for_changes() {
  const std::filesystem::path& graph = locations_.graph_json;
  auto refreshed =
      scanner::refresh_graph_file(graph, {graph}, scanner::RefreshMode::full_scan, std::nullopt);
  if (refreshed && refreshed->index && project_->made_from(*refreshed->index)) return;
  // Without a snapshot to compare with, load_graph's refresh scans the tree in full.
  LoadedGraph current = load_graph(graph, locations_.default_root, !refreshed);
  if (!project_->same_graph(current)) take(std::move(current));
}

LoadedProject& ProjectSession::project() {
  if (!project_) {
    take(load_graph(locations_.graph_json, locations_.default_root, options_.refresh));
    last_look_ = clock_();
  } else if (refresh_due()) {
    look_for_changes();
    last_look_ = clock_();
  }
  return *project_;
}

}  // namespace plinthar::query::mcp

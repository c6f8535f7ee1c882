#include "plinthar/query/mcp/loaded_project.hpp"

#include <utility>

namespace plinthar::query::mcp {
namespace {

bool same_identity(const scanner::GraphIdentity& a, const scanner::GraphIdentity& b) {
  return a.size == b.size && a.inode == b.inode && a.device == b.device &&
         a.mtime_ns == b.mtime_ns && a.ctime_ns == b.ctime_ns && a.content_hash == b.content_hash;
}

}  // namespace

LoadedProject::LoadedProject(LoadedGraph graph, const std::filesystem::path& graph_file)
    : graph_(std::move(graph)),
      stats_(load_term_stats(graph_, graph_file)),
      lookups_(graph_.records(), stats_.stats()) {}

const SymbolDetails& LoadedProject::symbol(std::uint32_t node) {
  const auto found = symbols_.find(node);
  if (found != symbols_.end()) return found->second;
  return symbols_.emplace(node, symbol_details(records().node_value(node))).first->second;
}

bool LoadedProject::same_graph(const LoadedGraph& graph) const {
  return graph.index() != nullptr && made_from(*graph.index());
}

bool LoadedProject::made_from(const scanner::GraphIndex& index) const {
  const scanner::GraphIndex* mine = graph_.index();
  return mine != nullptr && same_identity(mine->graph(), index.graph());
}

}  // namespace plinthar::query::mcp

#include "plinthar/query/mcp/loaded_project.hpp"

#include <utility>

namespace plinthar::query::mcp {
namespace {

bool same_identity(const index::GraphIdentity& a, const index::GraphIdentity& b) {
  return a.file == b.file && a.content_hash == b.content_hash;
}

}  // namespace

LoadedProject::LoadedProject(LoadedGraph graph)
    : graph_(std::move(graph)), lookups_(graph_.records(), *graph_.term_stats()) {}

const SymbolDetails& LoadedProject::symbol(std::uint32_t node) {
  const auto found = symbols_.find(node);
  if (found != symbols_.end()) return found->second;
  return symbols_.emplace(node, symbol_details(records().node_value(node))).first->second;
}

bool LoadedProject::made_from(const index::GraphIndex& index) const {
  const index::GraphIndex* mine = graph_.index();
  return mine != nullptr && same_identity(mine->graph(), index.graph());
}

}  // namespace plinthar::query::mcp

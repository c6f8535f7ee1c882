#include "plinthar/query/mcp/graph_lookups.hpp"

#include <utility>

#include "plinthar/text/ascii.hpp"

namespace plinthar::query::mcp {
namespace {

using index::NO_FILE;

using KeyedItem = std::pair<std::uint32_t, std::uint32_t>;

// Groups `pairs` (key, item) by key, keeping their order within each key.
GroupedItems group(std::size_t keys, const std::vector<KeyedItem>& pairs) {
  GroupedItems grouped;
  grouped.start.assign(keys + 1, 0);
  for (const auto& [key, item] : pairs) ++grouped.start[key + 1];
  for (std::size_t k = 0; k < keys; ++k) grouped.start[k + 1] += grouped.start[k];
  grouped.items.resize(pairs.size());
  std::vector<std::uint32_t> next(grouped.start.begin(), grouped.start.end() - 1);
  for (const auto& [key, item] : pairs) grouped.items[next[key]++] = item;
  return grouped;
}

std::string lower_ascii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = text::ascii_lower(static_cast<unsigned char>(c));
  return lower;
}

constexpr std::string_view SEPARATOR = "::";

}  // namespace

std::string_view symbol_name(std::string_view symbol_id) {
  const std::size_t colons = symbol_id.rfind(SEPARATOR);
  return colons == std::string_view::npos ? symbol_id : symbol_id.substr(colons + SEPARATOR.size());
}

void GraphLookups::build_file_ids() {
  file_ids_.emplace();
  for (std::uint32_t file = 0; file < stats_.file_count(); ++file) {
    file_ids_->try_emplace(file_id(file), stats_.canonical(file));
  }
}

std::optional<std::uint32_t> GraphLookups::file_of(std::string_view id) {
  if (!file_ids_) build_file_ids();
  const auto found = file_ids_->find(id);
  if (found == file_ids_->end()) return std::nullopt;
  return found->second;
}

std::string_view GraphLookups::file_id(std::uint32_t file) const {
  return records_.nodes[stats_.node(file)].id.text;
}

void GraphLookups::build_symbols() {
  std::vector<KeyedItem> by_file;
  for (std::uint32_t node = 0; node < records_.nodes.size(); ++node) {
    const index::NodeRecord& record = records_.nodes[node];
    if (record.kind != "symbol") continue;
    const std::string_view id = record.id.text;
    symbols_by_name_[symbol_name(id)].push_back(node);
    const std::size_t colons = id.rfind(SEPARATOR);
    if (colons == std::string_view::npos) continue;
    if (const auto file = file_of(id.substr(0, colons))) by_file.emplace_back(*file, node);
  }
  symbols_by_file_ = group(stats_.file_count(), by_file);
}

std::span<const std::uint32_t> GraphLookups::symbols_of(std::uint32_t file) {
  if (!symbols_by_file_) build_symbols();
  return symbols_by_file_->of(file);
}

std::span<const std::uint32_t> GraphLookups::symbols_named(std::string_view name) {
  if (!symbols_by_file_) build_symbols();
  const auto found = symbols_by_name_.find(name);
  if (found == symbols_by_name_.end()) return {};
  return found->second;
}

std::span<const std::uint32_t> GraphLookups::symbols_named_in_any_case(std::string_view name) {
  if (!symbols_by_lower_) {
    if (!symbols_by_file_) build_symbols();
    symbols_by_lower_.emplace();
    for (std::uint32_t node = 0; node < records_.nodes.size(); ++node) {
      const index::NodeRecord& record = records_.nodes[node];
      if (record.kind != "symbol") continue;
      (*symbols_by_lower_)[lower_ascii(symbol_name(record.id.text))].push_back(node);
    }
  }
  const auto found = symbols_by_lower_->find(lower_ascii(name));
  if (found == symbols_by_lower_->end()) return {};
  return found->second;
}

void GraphLookups::build_edges() {
  std::vector<KeyedItem> from;
  std::vector<KeyedItem> to;
  for (std::uint32_t edge = 0; edge < records_.edges.size(); ++edge) {
    if (records_.edges[edge].rel == "contains") continue;
    if (const std::uint32_t source = stats_.edge_from(edge); source != NO_FILE) {
      from.emplace_back(stats_.canonical(source), edge);
    }
    if (const std::uint32_t target = stats_.edge_target(edge); target != NO_FILE) {
      to.emplace_back(stats_.canonical(target), edge);
    }
  }
  edges_from_ = group(stats_.file_count(), from);
  edges_to_ = group(stats_.file_count(), to);
}

std::span<const std::uint32_t> GraphLookups::edges_from(std::uint32_t file) {
  if (!edges_from_) build_edges();
  return edges_from_->of(file);
}

std::span<const std::uint32_t> GraphLookups::edges_to(std::uint32_t file) {
  if (!edges_from_) build_edges();
  return edges_to_.of(file);
}

}  // namespace plinthar::query::mcp

#include "plinthar/index/records.hpp"

#include <string>

#include <absl/container/flat_hash_map.h>

namespace plinthar::index {
namespace {

// `text` lower-cased with its character set; a copy is kept only when lowering changed it.
text::MaskedText prepared(std::string_view original, std::string& buffer, text::TextArena& texts) {
  const text::MaskedText lowered = text::lowered_masked(original, buffer);
  if (lowered.text.data() == original.data()) return lowered;
  return text::MaskedText(texts.keep(lowered.text), lowered.mask);
}

}  // namespace

void prepare_edge(EdgeRecord& edge, text::TextArena& texts) {
  std::string buffer;
  edge.from_lower = prepared(edge.from.text, buffer, texts);
  edge.to_lower = prepared(edge.to.text, buffer, texts);
  edge.rel_lower = prepared(edge.rel, buffer, texts);
}

void prepare_node(NodeRecord& node, text::TextArena& texts) {
  std::string buffer;
  node.id_lower = prepared(node.id.text, buffer, texts);
  node.ext_lower = prepared(node.ext, buffer, texts).text;
  node.summary_lower = prepared(node.summary, buffer, texts);
  node.keywords_lower = prepared(node.keywords, buffer, texts);
}

void count_degrees(GraphRecords& records) {
  absl::flat_hash_map<std::string_view, std::int64_t> degree;
  for (const EdgeRecord& edge : records.edges) {
    ++degree[edge.from.text];
    ++degree[edge.to.text];
  }
  for (NodeRecord& node : records.nodes) {
    const auto found = degree.find(node.id.text);
    node.degree = found == degree.end() ? 0 : found->second;
  }
}

void prepare_records(GraphRecords& records) {
  for (EdgeRecord& edge : records.edges) prepare_edge(edge, records.texts);
  for (NodeRecord& node : records.nodes) prepare_node(node, records.texts);
  count_degrees(records);
}

}  // namespace plinthar::index

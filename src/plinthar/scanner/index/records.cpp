#include "plinthar/scanner/index/records.hpp"

#include <string>

#include <absl/container/flat_hash_map.h>

namespace plinthar::scanner {
namespace {

// `text` lower-cased with its character set; a copy is kept only when lowering changed it.
text::MaskedText prepared(std::string_view original, std::string& buffer, text::TextArena& texts) {
  const text::MaskedText lowered = text::lowered_masked(original, buffer);
  if (lowered.text.data() == original.data()) return lowered;
  return text::MaskedText(texts.keep(lowered.text), lowered.mask);
}

std::string_view member_text(const text::Json& node, const char* key) {
  const auto found = node.find(key);
  return found == node.end() ? std::string_view() : found->get_ref<const std::string&>();
}

}  // namespace

NodeRecord record_of_scanned_node(const text::Json& node, text::TextArena& texts) {
  NodeRecord record;
  record.id.text = texts.keep(member_text(node, "id"));
  record.id.present = true;
  record.kind = texts.keep(member_text(node, "kind"));
  record.ext = texts.keep(member_text(node, "ext"));
  record.confidence = texts.keep(member_text(node, "confidence"));
  record.summary = texts.keep(member_text(node, "summary"));
  std::vector<std::string_view> keywords;
  for (const text::Json& keyword : node["keywords"]) {
    keywords.push_back(keyword.get_ref<const std::string&>());
  }
  record.keywords = texts.join(keywords, ' ');
  return record;
}

EdgeRecord record_of_edge(const Edge& edge) {
  EdgeRecord record;
  record.from = {edge.from, nullptr, true};
  record.to = {edge.to, nullptr, true};
  record.rel = edge.rel;
  return record;
}

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

}  // namespace plinthar::scanner

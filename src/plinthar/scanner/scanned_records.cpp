#include "plinthar/scanner/scanned_records.hpp"

#include <string_view>
#include <vector>

namespace plinthar::scanner {
namespace {

std::string_view member_text(const Json& node, const char* key) {
  const auto found = node.find(key);
  return found == node.end() ? std::string_view() : found->get_ref<const std::string&>();
}

}  // namespace

index::NodeRecord record_of_scanned_node(const Json& node, text::TextArena& texts) {
  index::NodeRecord record;
  record.id.text = texts.keep(member_text(node, "id"));
  record.id.present = true;
  record.kind = texts.keep(member_text(node, "kind"));
  record.ext = texts.keep(member_text(node, "ext"));
  record.confidence = texts.keep(member_text(node, "confidence"));
  record.summary = texts.keep(member_text(node, "summary"));
  std::vector<std::string_view> keywords;
  for (const Json& keyword : node["keywords"]) {
    keywords.push_back(keyword.get_ref<const std::string&>());
  }
  record.keywords = texts.join(keywords, ' ');
  return record;
}

index::EdgeRecord record_of_edge(const Edge& edge) {
  index::EdgeRecord record;
  record.from = {edge.from, nullptr, true};
  record.to = {edge.to, nullptr, true};
  record.rel = edge.rel;
  return record;
}

}  // namespace plinthar::scanner

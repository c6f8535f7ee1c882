#pragma once

// Everything ranking can see of a graph's records, as one text, so that two ways of
// reading the same graph can be compared.

#include <string>

#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::fuzz {

inline std::string member_dump(const index::StoredMember& member) {
  if (!member.present) return "-";
  return (member.value != nullptr ? "value:" : "text:") + std::string(member.text);
}

inline std::string records_dump(const index::GraphRecords& records) {
  std::string dump;
  for (std::size_t i = 0; i < records.nodes.size(); ++i) {
    const index::NodeRecord& node = records.nodes[i];
    dump += "node " + member_dump(node.id) + "|" + std::string(node.ext) + "|" +
            std::string(node.kind) + "|" + std::string(node.confidence) + "|" +
            std::string(node.summary) + "|" + std::string(node.keywords) + "|" +
            text::to_compact(records.node_value(i)) + "\n";
  }
  for (std::size_t i = 0; i < records.edges.size(); ++i) {
    const index::EdgeRecord& edge = records.edges[i];
    dump += "edge " + member_dump(edge.from) + "|" + member_dump(edge.to) + "|" +
            std::string(edge.rel) + "|" + text::to_compact(records.edge_value(i)) + "\n";
  }
  return dump;
}

}  // namespace plinthar::fuzz

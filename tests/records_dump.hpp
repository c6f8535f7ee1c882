#pragma once

// Dumps of a graph's records as text, for comparing records read two ways (the tests and
// the fuzz targets share them).

#include <string>
#include <string_view>

#include "plinthar/index/records.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::testing {

inline std::string member_dump(const index::StoredMember& member) {
  if (!member.present) return "-";
  return (member.value != nullptr ? "value:" : "text:") + std::string(member.text);
}

// Everything ranking can see of the records, the whole records included.
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

inline std::string masked_dump(const text::MaskedText& masked) {
  return std::string(masked.text) + "/" + std::to_string(masked.mask.low) + "." +
         std::to_string(masked.mask.high);
}

// Everything ranking reads of the records, with the graph bytes each span covers.
inline std::string prepared_dump(const index::GraphRecords& records, std::string_view graph) {
  std::string dump;
  const auto span_text = [&](const index::GraphSpan& span) {
    return std::string(graph.substr(span.offset, span.length));
  };
  for (std::size_t i = 0; i < records.nodes.size(); ++i) {
    const index::NodeRecord& n = records.nodes[i];
    dump += std::string(n.id.text) + (n.id.present ? "+" : "-") + "|" + std::string(n.kind) + "|" +
            std::string(n.ext) + "|" + std::string(n.ext_lower) + "|" + std::string(n.confidence) +
            "|" + std::string(n.keywords) + "|" + masked_dump(n.id_lower) + "|" +
            masked_dump(n.summary_lower) + "|" + masked_dump(n.keywords_lower) + "|" +
            std::to_string(n.degree) + "|" + span_text(records.node_spans[i]) + "\n";
  }
  for (std::size_t i = 0; i < records.edges.size(); ++i) {
    const index::EdgeRecord& e = records.edges[i];
    dump += std::string(e.from.text) + "|" + std::string(e.to.text) + "|" + std::string(e.rel) +
            "|" + masked_dump(e.from_lower) + "|" + masked_dump(e.to_lower) + "|" +
            masked_dump(e.rel_lower) + "|" + span_text(records.edge_spans[i]) + "\n";
  }
  return dump;
}

}  // namespace plinthar::testing

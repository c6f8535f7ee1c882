#pragma once

// A dump of everything ranking reads of a graph's records, for comparing records read
// two ways.

#include <string>
#include <string_view>

#include "plinthar/index/records.hpp"
#include "plinthar/text/char_mask.hpp"

namespace plinthar::testing {

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

#include "plinthar/index/graph_index_writer.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <absl/container/flat_hash_map.h>

#include "plinthar/error.hpp"
#include "plinthar/index/build_stamp.hpp"
#include "plinthar/index/byte_writer.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::index {
namespace {

using SectionBytes = std::vector<std::pair<SectionKind, std::string_view>>;

// Gathers distinct texts into one blob and a table of entries. The texts are views of
// the records, which outlive the table.
class TextTable {
 public:
  // The entry of `original`, whose lower-cased form is `lower` when the records have it.
  std::uint32_t entry(std::string_view original, const text::MaskedText* lower = nullptr) {
    const auto [slot, inserted] = entries_.try_emplace(original, 0);
    if (!inserted) return slot->second;
    const text::MaskedText lowered =
        lower != nullptr ? *lower : text::lowered_masked(original, buffer_);
    format::TextEntry entry{};
    entry.text = append(original);
    entry.lower = lowered.text == original ? entry.text : append(lowered.text);
    entry.mask_low = lowered.mask.low;
    entry.mask_high = lowered.mask.high;
    slot->second = static_cast<std::uint32_t>(rows_.size());
    rows_.push_back(entry);
    return slot->second;
  }

  const std::string& blob() const { return blob_; }
  const std::vector<format::TextEntry>& rows() const { return rows_; }

 private:
  format::TextRef append(std::string_view text) {
    const format::TextRef ref{static_cast<std::uint32_t>(blob_.size()),
                              static_cast<std::uint32_t>(text.size())};
    blob_.append(text);
    return ref;
  }

  absl::flat_hash_map<std::string_view, std::uint32_t> entries_;
  std::vector<format::TextEntry> rows_;
  std::string blob_;
  std::string buffer_;
};

format::Span span_of(const GraphSpan& span) { return {span.offset, span.length}; }

// Lays out the header, the section table and the sections, then the checksum.
std::string assemble(const GraphIdentity& graph, const SectionBytes& sections) {
  format::Header header{};
  std::memcpy(header.magic, format::MAGIC, sizeof header.magic);
  header.version = format::VERSION;
  header.byte_order = format::BYTE_ORDER_PROBE;
  header.word_size = sizeof(void*);
  header.section_count = static_cast<std::uint32_t>(sections.size());
  header.build_hash = build_hash();
  header.graph = graph;
  const std::size_t table_end =
      padded_to_8(sizeof header + sections.size() * sizeof(format::Section));
  std::size_t length = table_end + sizeof(std::uint64_t);
  for (const auto& section : sections) length += padded_to_8(section.second.size());
  ByteWriter body;
  body.reserve(length);  // the sections are large: no room thrown away growing into it
  body.put_bytes(std::string(table_end, '\0'));
  std::vector<format::Section> table;
  for (const auto& [kind, bytes] : sections) {
    const std::size_t offset = body.size();
    body.put_bytes(bytes);
    body.pad_to_8();
    const std::uint64_t checksum = text::content_hash(body.bytes().substr(offset));
    table.push_back({static_cast<std::uint32_t>(kind), 0, offset, bytes.size(), checksum});
  }
  header.file_size = body.size() + sizeof(std::uint64_t);
  std::string out = std::move(body).take();
  std::memcpy(out.data(), &header, sizeof header);
  std::memcpy(out.data() + sizeof header, table.data(), table.size() * sizeof(format::Section));
  const std::uint64_t checksum = text::content_hash(std::string_view(out).substr(0, table_end));
  out.append(reinterpret_cast<const char*>(&checksum), sizeof checksum);
  return out;
}

bool write_index_file(const std::filesystem::path& index_path, std::string_view bytes) {
  try {
    text::write_file_atomically(index_path, bytes, text::Durability::unsynced);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace

std::string index_bytes(const GraphRecords& records, const GraphIdentity& graph,
                        const ExtraSections& extra) {
  TextTable texts;
  ByteWriter nodes;
  nodes.reserve(records.nodes.size() * sizeof(format::NodeRow));
  for (std::size_t i = 0; i < records.nodes.size(); ++i) {
    const NodeRecord& node = records.nodes[i];
    format::NodeRow row{};
    row.id = texts.entry(node.id.text, &node.id_lower);
    row.kind = texts.entry(node.kind);
    row.ext = texts.entry(node.ext);
    row.confidence = texts.entry(node.confidence);
    row.summary = texts.entry(node.summary, &node.summary_lower);
    row.keywords = texts.entry(node.keywords, &node.keywords_lower);
    row.flags = node.id.present ? format::ID_PRESENT : 0;
    row.degree = node.degree;
    row.span = span_of(records.node_spans.at(i));
    nodes.put(row);
  }
  ByteWriter edges;
  edges.reserve(records.edges.size() * sizeof(format::EdgeRow));
  for (std::size_t i = 0; i < records.edges.size(); ++i) {
    const EdgeRecord& edge = records.edges[i];
    format::EdgeRow row{};
    row.from = texts.entry(edge.from.text, &edge.from_lower);
    row.to = texts.entry(edge.to.text, &edge.to_lower);
    row.rel = texts.entry(edge.rel, &edge.rel_lower);
    row.flags =
        (edge.from.present ? format::FROM_PRESENT : 0) | (edge.to.present ? format::TO_PRESENT : 0);
    row.span = span_of(records.edge_spans.at(i));
    edges.put(row);
  }
  ByteWriter entries;
  entries.put_array(texts.rows());
  SectionBytes sections = {{SectionKind::blob, texts.blob()},
                           {SectionKind::entries, entries.bytes()},
                           {SectionKind::nodes, nodes.bytes()},
                           {SectionKind::edges, edges.bytes()}};
  for (const auto& [kind, bytes] : extra) sections.emplace_back(kind, bytes);
  return assemble(graph, sections);
}

bool write_graph_index(const std::filesystem::path& index_path, const GraphRecords& records,
                       const GraphIdentity& graph, const ExtraSections& extra) {
  return write_index_file(index_path, index_bytes(records, graph, extra));
}

bool replace_sections(const std::filesystem::path& index_path, const GraphIndex& current,
                      const ExtraSections& replacements) {
  const auto replacement = [&](SectionKind kind) -> const std::string* {
    for (const auto& [replaced, bytes] : replacements) {
      if (replaced == kind) return &bytes;
    }
    return nullptr;
  };
  const std::vector<SectionKind> kinds = current.section_kinds();
  SectionBytes sections;
  for (const SectionKind kind : kinds) {
    if (const std::string* replaced = replacement(kind)) {
      sections.emplace_back(kind, *replaced);
    } else if (const auto kept = current.section(kind)) {
      sections.emplace_back(kind, *kept);
    } else {
      return false;
    }
  }
  for (const auto& [kind, bytes] : replacements) {
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
      sections.emplace_back(kind, bytes);
    }
  }
  return write_index_file(index_path, assemble(current.graph(), sections));
}

}  // namespace plinthar::index

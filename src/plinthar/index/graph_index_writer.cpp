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

constexpr char ZEROS[8] = {};

// The padding after `bytes` up to a multiple of 8.
std::string_view padding_after(std::string_view bytes) {
  return {ZEROS, static_cast<std::size_t>(padded_to_8(bytes.size()) - bytes.size())};
}

// The header and the section table of an index of `sections`, padded, with their
// checksums.
std::string head_of(const GraphIdentity& graph, const SectionBytes& sections) {
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
  std::vector<format::Section> table;
  std::uint64_t offset = table_end;
  for (const auto& [kind, bytes] : sections) {
    text::ContentHasher checksum;
    checksum.add(bytes);
    checksum.add(padding_after(bytes));
    table.push_back({static_cast<std::uint32_t>(kind), 0, offset, bytes.size(), checksum.value()});
    offset += padded_to_8(bytes.size());
  }
  header.file_size = offset + sizeof(std::uint64_t);
  std::string head(table_end, '\0');
  std::memcpy(head.data(), &header, sizeof header);
  std::memcpy(head.data() + sizeof header, table.data(), table.size() * sizeof(format::Section));
  return head;
}

// Writes the header, the section table and the sections, then the checksum, one after
// the other: the index is never laid out whole in memory beside its sections.
bool write_index_file(const std::filesystem::path& index_path, const GraphIdentity& graph,
                      const SectionBytes& sections) {
  const std::string head = head_of(graph, sections);
  const std::uint64_t checksum = text::content_hash(head);
  try {
    text::write_file_atomically(
        index_path,
        [&](const text::TextSink& emit) {
          emit(head);
          for (const auto& section : sections) {
            emit(section.second);
            emit(padding_after(section.second));
          }
          emit({reinterpret_cast<const char*>(&checksum), sizeof checksum});
        },
        text::Durability::unsynced);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// The sections of the records, laid out.
struct RecordSections {
  TextTable texts;
  ByteWriter nodes;
  ByteWriter edges;
  ByteWriter entries;
};

void lay_out(const GraphRecords& records, RecordSections& out) {
  TextTable& texts = out.texts;
  out.nodes.reserve(records.nodes.size() * sizeof(format::NodeRow));
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
    out.nodes.put(row);
  }
  out.edges.reserve(records.edges.size() * sizeof(format::EdgeRow));
  for (std::size_t i = 0; i < records.edges.size(); ++i) {
    const EdgeRecord& edge = records.edges[i];
    format::EdgeRow row{};
    row.from = texts.entry(edge.from.text, &edge.from_lower);
    row.to = texts.entry(edge.to.text, &edge.to_lower);
    row.rel = texts.entry(edge.rel, &edge.rel_lower);
    row.flags =
        (edge.from.present ? format::FROM_PRESENT : 0) | (edge.to.present ? format::TO_PRESENT : 0);
    row.span = span_of(records.edge_spans.at(i));
    out.edges.put(row);
  }
  out.entries.put_array(texts.rows());
}

SectionBytes sections_of(const RecordSections& laid_out, const ExtraSections& extra) {
  SectionBytes sections = {{SectionKind::blob, laid_out.texts.blob()},
                           {SectionKind::entries, laid_out.entries.bytes()},
                           {SectionKind::nodes, laid_out.nodes.bytes()},
                           {SectionKind::edges, laid_out.edges.bytes()}};
  for (const auto& [kind, bytes] : extra) sections.emplace_back(kind, bytes);
  return sections;
}

}  // namespace

std::string index_bytes(const GraphRecords& records, const GraphIdentity& graph,
                        const ExtraSections& extra) {
  RecordSections laid_out;
  lay_out(records, laid_out);
  const SectionBytes sections = sections_of(laid_out, extra);
  std::string out = head_of(graph, sections);
  const std::uint64_t checksum = text::content_hash(out);
  for (const auto& section : sections) {
    out += section.second;
    out += padding_after(section.second);
  }
  out.append(reinterpret_cast<const char*>(&checksum), sizeof checksum);
  return out;
}

bool write_graph_index(const std::filesystem::path& index_path, const GraphRecords& records,
                       const GraphIdentity& graph, const ExtraSections& extra) {
  RecordSections laid_out;
  lay_out(records, laid_out);
  return write_index_file(index_path, graph, sections_of(laid_out, extra));
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
  return write_index_file(index_path, current.graph(), sections);
}

}  // namespace plinthar::index

#pragma once

// The layout of a graph index file. Every number is written in the byte order and
// widths of the machine that wrote it; the header says which, and a reader on another
// kind of machine ignores the file (and builds its own).
//
//   Header | Section table | sections, each at a multiple of 8 | checksum
//
// The checksum at the end is content_hash of the header and the section table (up to the
// first section); each section's checksum, in the table, is content_hash of its bytes and
// the padding after them. A reader so reads only the sections it needs, each checked as
// it is read: ranking never reads the tree's snapshot. Texts are ranges of one blob of
// distinct texts; nodes and edges refer to entries of a table of distinct texts, each
// with its lower-cased form and that form's character set.

#include <cstdint>

#include "plinthar/text/file_status.hpp"

namespace plinthar::index::format {

inline constexpr char MAGIC[8] = {'P', 'L', 'N', 'T', 'H', 'I', 'D', 'X'};
inline constexpr std::uint32_t VERSION = 3;
inline constexpr std::uint32_t BYTE_ORDER_PROBE = 0x01020304;

// What a graph file was when its index was made.
struct GraphIdentity {
  text::FileStatus file;
  std::uint64_t content_hash;
};

struct Header {
  char magic[8];
  std::uint32_t version;
  std::uint32_t byte_order;
  std::uint32_t word_size;
  std::uint32_t section_count;
  std::uint64_t build_hash;  // content_hash of the build that wrote it
  std::uint64_t file_size;   // of the whole index, checksum included
  GraphIdentity graph;
};

enum class SectionKind : std::uint32_t {
  blob = 1,        // the bytes of every distinct text
  entries = 2,     // TextEntry per distinct text
  nodes = 3,       // NodeRow per node, in graph order
  edges = 4,       // EdgeRow per edge, in graph order
  snapshot = 5,    // the scanned tree (written and read by the refresh)
  term_stats = 6,  // term statistics of the file texts (term_stats.hpp)
};
inline constexpr std::uint32_t SECTION_KINDS = 7;  // one more than the largest kind
// The sections every index has: what the records are made of.
inline constexpr SectionKind RECORD_SECTIONS[] = {SectionKind::blob, SectionKind::entries,
                                                  SectionKind::nodes, SectionKind::edges};

struct Section {
  std::uint32_t kind;
  std::uint32_t reserved;
  std::uint64_t offset;
  std::uint64_t size;
  std::uint64_t checksum;  // of the section's bytes and the padding after them
};

struct TextRef {
  std::uint32_t offset;
  std::uint32_t length;
};

struct TextEntry {
  TextRef text;
  TextRef lower;  // the lower-cased text
  std::uint64_t mask_low;
  std::uint64_t mask_high;
};

// Where a node's or edge's object stands in the graph file.
struct Span {
  std::uint64_t offset;
  std::uint64_t length;
};

inline constexpr std::uint32_t ID_PRESENT = 1;
inline constexpr std::uint32_t FROM_PRESENT = 1;
inline constexpr std::uint32_t TO_PRESENT = 2;

struct NodeRow {
  std::uint32_t id;  // text entries
  std::uint32_t kind;
  std::uint32_t ext;
  std::uint32_t confidence;
  std::uint32_t summary;
  std::uint32_t keywords;
  std::uint32_t flags;
  std::uint32_t reserved;
  std::int64_t degree;
  Span span;
};

struct EdgeRow {
  std::uint32_t from;  // text entries
  std::uint32_t to;
  std::uint32_t rel;
  std::uint32_t flags;
  Span span;
};

}  // namespace plinthar::index::format

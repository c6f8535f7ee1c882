#pragma once

// The term statistics of a graph's files: plain facts that the hybrid ranking weighs as
// it ranks. For every file its three fields' lengths (path words, symbol names and
// keywords, text), its size, what kind of file its name and text say it is, and its bare
// stem; for every term its document frequency and postings; for every edge the file its
// "from" is and the file its "to" resolves to. They are laid out in one section of the
// graph index and read where they lie: a query looks up only its own terms.
//
//   TermStatsHeader, then arrays, each starting at a multiple of 8 bytes:
//   node[F] u32 (the file's place among the graph's nodes), canonical[F] u32 (the first
//   file with the same id), length[3F] u32, size[F] i64, facts[F] u8, stem[F] u32,
//   stem_start[S+1] u32, stem texts, edge_from[E] u32, edge_target[E] u32 (NO_FILE when
//   none), terms[T] TermEntry (sorted by text), term texts, postings.
//
// A term's postings are its files in ascending order, each as varint(file delta * 4 +
// 2 if counted in the path + 1 if in the symbols), then the path count and the symbol
// count when present, then the text count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/byte_reader.hpp"
#include "plinthar/index/byte_writer.hpp"

namespace plinthar::index {

inline constexpr std::uint32_t TERM_STATS_LAYOUT = 2;
inline constexpr std::uint32_t NO_FILE = 0xFFFFFFFFu;

enum TermField : std::size_t { PATH_FIELD = 0, SYMBOL_FIELD = 1, CONTENT_FIELD = 2 };
inline constexpr std::size_t TERM_FIELDS = 3;
using FieldCounts = std::array<std::uint32_t, TERM_FIELDS>;

// What a file is, as its name and text say (file_facts).
inline constexpr std::uint8_t FACT_DOC = 1;      // documentation (.md)
inline constexpr std::uint8_t FACT_CONFIG = 2;   // configuration (.json, .yaml, .yml)
inline constexpr std::uint8_t FACT_TEST = 4;     // a test, by its folder or name
inline constexpr std::uint8_t FACT_VERSION = 8;  // declares a version
inline constexpr std::uint8_t FACT_SOURCE = 16;  // source code, by its extension

struct TermStatsHeader {
  std::uint32_t layout;
  std::uint32_t file_count;
  std::uint32_t term_count;
  std::uint32_t edge_count;
  std::uint32_t stem_count;
  std::uint32_t reserved;
  std::uint64_t stem_text_bytes;
  std::uint64_t term_text_bytes;
  std::uint64_t postings_bytes;
  double average_length[TERM_FIELDS];  // over all files; 1.0 where it would be 0
};

// Where each array of the layout starts, in bytes from the header's start, and where
// the whole ends; computed from the header's counts alone (in 64 bits, so that no count
// can make them wrap).
struct TermStatsOffsets {
  std::uint64_t node, canonical, length, size, facts, stem, stem_start, stem_text, edge_from,
      edge_target, terms, term_text, postings, end;
};
TermStatsOffsets term_stats_offsets(const TermStatsHeader& header);

struct TermEntry {
  std::uint32_t text_offset;
  std::uint32_t text_length;
  std::uint32_t document_frequency;
  std::uint32_t postings_offset;
};

// One file of a term's postings with the term's count in each field.
struct Posting {
  std::uint32_t file;
  FieldCounts count;
};

// Everything the section holds, as plain arrays, for writing it.
struct TermStatsParts {
  std::vector<std::uint32_t> node, canonical, length;  // length: TERM_FIELDS per file
  std::vector<std::int64_t> size;
  std::vector<std::uint8_t> facts;
  std::vector<std::uint32_t> stem;
  std::vector<std::string> stems;  // distinct stems, by number
  std::vector<std::uint32_t> edge_from, edge_target;
  // Terms sorted by text, each with its postings in ascending file order.
  std::vector<std::string_view> terms;
  std::vector<std::vector<Posting>> postings;
};

// The section's bytes.
std::string term_stats_bytes(const TermStatsParts& parts);

// The term list of a section as it is laid out, built term by term in text order.
class TermLists {
 public:
  // The next term, with `postings` (encoded as put_postings does) of `document_frequency`
  // files.
  void add(std::string_view term, std::uint32_t document_frequency, std::string_view postings);
  // The next term, with its postings.
  void add(std::string_view term, const std::vector<Posting>& postings);

  std::size_t size() const { return entries_.size(); }
  const std::vector<TermEntry>& entries() const { return entries_; }
  std::string_view texts() const { return texts_; }
  std::string_view postings() const { return postings_.bytes(); }

 private:
  std::vector<TermEntry> entries_;
  std::string texts_;
  ByteWriter postings_;
};

// The section's bytes from `parts` whose terms and postings are left empty, and the term
// list laid out apart.
std::string term_stats_bytes(const TermStatsParts& parts, const TermLists& lists);

// The statistics viewed in their bytes, which must outlive the view.
class TermStats {
 public:
  // The statistics in `bytes`, or nothing when they are not whole or not of this layout.
  static std::optional<TermStats> open(std::string_view bytes);

  std::size_t file_count() const { return header_.file_count; }
  std::size_t edge_count() const { return header_.edge_count; }
  std::size_t stem_count() const { return header_.stem_count; }
  std::uint32_t node(std::size_t file) const { return node_[file]; }
  std::uint32_t canonical(std::size_t file) const { return canonical_[file]; }
  std::uint32_t length(std::size_t file, std::size_t field) const {
    return length_[file * TERM_FIELDS + field];
  }
  double average_length(std::size_t field) const { return header_.average_length[field]; }
  std::int64_t size(std::size_t file) const { return size_[file]; }
  std::uint8_t facts(std::size_t file) const { return facts_[file]; }
  // The number of the file's bare stem, below stem_count().
  std::uint32_t stem(std::size_t file) const { return stem_[file]; }
  std::string_view stem_text(std::uint32_t stem) const {
    return stem_text_.substr(stem_start_[stem], stem_start_[stem + 1] - stem_start_[stem]);
  }
  std::uint32_t edge_from(std::size_t edge) const { return edge_from_[edge]; }
  std::uint32_t edge_target(std::size_t edge) const { return edge_target_[edge]; }

  // Number of files holding `term`, 0 for a term no file has.
  std::uint32_t document_frequency(std::string_view term) const;

  // Calls `visit(posting)` for each file holding `term`, in file order. False when the
  // postings are damaged (the visits made so far then stand).
  template <typename Visit>
  bool for_each_posting(std::string_view term, Visit&& visit) const {
    const auto entry = find(term);
    return !entry || decode(*entry, visit);
  }

  // The terms one by one, in the order of their texts: the `i`th term's text ("" when
  // damaged), its document frequency, the bytes of its postings as they are laid out
  // (nothing when damaged), and its postings visited in file order.
  std::size_t term_count() const { return terms_.size(); }
  std::string_view term_at(std::size_t i) const;
  std::uint32_t document_frequency_at(std::size_t i) const { return terms_[i].document_frequency; }
  std::optional<std::string_view> postings_bytes_at(std::size_t i) const;
  template <typename Visit>
  bool for_each_posting_at(std::size_t i, Visit&& visit) const {
    return decode(terms_[i], visit);
  }

  // Calls `visit(term, posting)` for every term, in the order of their texts, and each
  // of its files. False when anything is damaged (the visits made so far then stand).
  template <typename Visit>
  bool for_each_term(Visit&& visit) const {
    for (std::size_t i = 0; i < terms_.size(); ++i) {
      const TermEntry entry = terms_[i];
      if (!in_term_text(entry)) return false;
      const std::string_view term = term_text_.substr(entry.text_offset, entry.text_length);
      if (!decode(entry, [&](const Posting& posting) { visit(term, posting); })) return false;
    }
    return true;
  }

 private:
  TermStats() = default;

  template <typename Visit>
  bool decode(const TermEntry& entry, Visit&& visit) const {
    if (entry.postings_offset > postings_.size()) return false;
    ByteReader in(postings_.substr(entry.postings_offset));
    std::uint64_t file = 0;
    for (std::uint32_t k = 0; k < entry.document_frequency; ++k) {
      std::uint64_t head = 0;
      Posting posting{};
      if (!in.get_varint(head)) return false;
      file += head >> 2;
      if (file >= header_.file_count) return false;
      posting.file = static_cast<std::uint32_t>(file);
      if ((head & 2) != 0 && !in.get_varint32(posting.count[PATH_FIELD])) return false;
      if ((head & 1) != 0 && !in.get_varint32(posting.count[SYMBOL_FIELD])) return false;
      if (!in.get_varint32(posting.count[CONTENT_FIELD])) return false;
      visit(posting);
    }
    return true;
  }

  bool in_term_text(const TermEntry& entry) const {
    return std::uint64_t{entry.text_offset} + entry.text_length <= term_text_.size();
  }
  std::optional<TermEntry> find(std::string_view term) const;
  bool lists_are_whole() const;

  TermStatsHeader header_{};
  PackedArray<std::uint32_t> node_;
  PackedArray<std::uint32_t> canonical_;
  PackedArray<std::uint32_t> length_;
  PackedArray<std::int64_t> size_;
  PackedArray<std::uint8_t> facts_;
  PackedArray<std::uint32_t> stem_;
  PackedArray<std::uint32_t> stem_start_;
  std::string_view stem_text_;
  PackedArray<std::uint32_t> edge_from_;
  PackedArray<std::uint32_t> edge_target_;
  PackedArray<TermEntry> terms_;
  std::string_view term_text_;
  std::string_view postings_;
};

}  // namespace plinthar::index

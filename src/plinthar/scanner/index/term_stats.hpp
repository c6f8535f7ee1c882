#pragma once

// The term statistics of a graph's files, as the hybrid ranking reads them: for every
// file its three fields' lengths (path words, symbol names and keywords, text), its size
// prior and flags, the files it imports or is imported by, and its same-named
// companions; for every term its document frequency and postings; for every edge the
// file its "to" resolves to. They are laid out in one section of the graph index and
// read where they lie: a query looks up only its own terms.
//
//   TermStatsHeader, then arrays, each starting at a multiple of 8 bytes:
//   node[F] u32 (the file's place among the graph's nodes), canonical[F] u32 (the first
//   file with the same id), length[3F] u32, prior[F] f64, flags[F] u8,
//   neighbour_start[F+1] u32, neighbours[] u32, companion_start[F+1] u32,
//   companions[] u32, edge_from[E] u32, edge_target[E] u32 (NO_FILE when none),
//   terms[T] TermEntry (sorted by text), term texts, postings.
//
// A term's postings are its files in ascending order, each as varint(file delta * 4 +
// 2 if counted in the path + 1 if in the symbols), then the path count and the symbol
// count when present, then the text count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace plinthar::scanner {

inline constexpr std::uint32_t TERM_STATS_LAYOUT = 1;
inline constexpr std::uint32_t NO_FILE = 0xFFFFFFFFu;

enum TermField : std::size_t { PATH_FIELD = 0, SYMBOL_FIELD = 1, CONTENT_FIELD = 2 };
inline constexpr std::size_t TERM_FIELDS = 3;

// Flags of a file.
inline constexpr std::uint8_t FILE_IS_DOC = 1;
inline constexpr std::uint8_t FILE_IS_CONFIG = 2;
inline constexpr std::uint8_t FILE_IS_TEST = 4;
inline constexpr std::uint8_t FILE_HAS_VERSION = 8;

struct TermStatsHeader {
  std::uint32_t layout;
  std::uint32_t file_count;
  std::uint32_t term_count;
  std::uint32_t edge_count;
  std::uint32_t neighbour_count;
  std::uint32_t companion_count;
  std::uint64_t term_text_bytes;
  std::uint64_t postings_bytes;
  double average_length[TERM_FIELDS];  // over all files; 1.0 where it would be 0
};

// Where each array of the layout starts, in bytes from the header's start, and where
// the whole ends; computed from the header's counts alone (in 64 bits, so that no count
// can make them wrap).
struct TermStatsOffsets {
  std::uint64_t node, canonical, length, prior, flags, neighbour_start, neighbours, companion_start,
      companions, edge_from, edge_target, terms, term_text, postings, end;
};
TermStatsOffsets term_stats_offsets(const TermStatsHeader& header);

struct TermEntry {
  std::uint32_t text_offset;
  std::uint32_t text_length;
  std::uint32_t document_frequency;
  std::uint32_t postings_offset;
};

// Values of type T packed in bytes that need not be aligned for T.
template <typename T>
class PackedArray {
 public:
  PackedArray() = default;
  PackedArray(const char* data, std::size_t count) : data_(data), count_(count) {}

  T operator[](std::size_t i) const {
    T value;
    std::memcpy(&value, data_ + i * sizeof(T), sizeof(T));
    return value;
  }
  std::size_t size() const { return count_; }
  PackedArray sub(std::size_t start, std::size_t count) const {
    return PackedArray(data_ + start * sizeof(T), count);
  }

 private:
  const char* data_ = nullptr;
  std::size_t count_ = 0;
};

// One file of a term's postings with the term's count in each field.
struct Posting {
  std::uint32_t file;
  std::array<std::uint32_t, TERM_FIELDS> count;
};

// The statistics viewed in their bytes, which must outlive the view.
class TermStats {
 public:
  // The statistics in `bytes`, or nothing when they are not whole or not of this layout.
  static std::optional<TermStats> open(std::string_view bytes);

  std::size_t file_count() const { return header_.file_count; }
  std::size_t edge_count() const { return header_.edge_count; }
  std::uint32_t node(std::size_t file) const { return node_[file]; }
  std::uint32_t canonical(std::size_t file) const { return canonical_[file]; }
  std::uint32_t length(std::size_t file, std::size_t field) const {
    return length_[file * TERM_FIELDS + field];
  }
  double average_length(std::size_t field) const { return header_.average_length[field]; }
  double prior(std::size_t file) const { return prior_[file]; }
  std::uint8_t flags(std::size_t file) const { return flags_[file]; }
  PackedArray<std::uint32_t> neighbours(std::size_t file) const {
    return slice(neighbour_start_, neighbours_, file);
  }
  PackedArray<std::uint32_t> companions(std::size_t file) const {
    return slice(companion_start_, companions_, file);
  }
  std::uint32_t edge_from(std::size_t edge) const { return edge_from_[edge]; }
  std::uint32_t edge_target(std::size_t edge) const { return edge_target_[edge]; }

  // Number of files holding `term`, 0 for a term no file has.
  std::uint32_t document_frequency(std::string_view term) const;

  // Calls `visit(posting)` for each file holding `term`, in file order. False when the
  // postings are damaged (the visits made so far then stand).
  template <typename Visit>
  bool for_each_posting(std::string_view term, Visit&& visit) const {
    const auto range = postings_of(term);
    return !range || decode(*range, visit);
  }

  // Calls `visit(term, posting)` for every term, in the order of their texts, and each
  // of its files. False when anything is damaged (the visits made so far then stand).
  template <typename Visit>
  bool for_each_term(Visit&& visit) const {
    for (std::size_t i = 0; i < terms_.size(); ++i) {
      const TermEntry entry = terms_[i];
      if (std::uint64_t{entry.text_offset} + entry.text_length > term_text_.size() ||
          entry.postings_offset > postings_.size()) {
        return false;
      }
      const std::string_view term = term_text_.substr(entry.text_offset, entry.text_length);
      const PostingRange range{entry.postings_offset, postings_.size(), entry.document_frequency};
      if (!decode(range, [&](const Posting& posting) { visit(term, posting); })) return false;
    }
    return true;
  }

 private:
  struct PostingRange {
    std::size_t first;
    std::size_t second;
    std::uint32_t count;
  };

  TermStats() = default;

  template <typename Visit>
  bool decode(const PostingRange& range, Visit&& visit) const {
    const char* at = postings_.data() + range.first;
    const char* const end = postings_.data() + range.second;
    std::uint64_t file = 0;
    for (std::uint32_t k = 0; k < range.count; ++k) {
      std::uint64_t head = 0;
      Posting posting{};
      if (!read_varint(at, end, head)) return false;
      file += head >> 2;
      if (file >= header_.file_count) return false;
      posting.file = static_cast<std::uint32_t>(file);
      if ((head & 2) != 0 && !read_count(at, end, posting.count[PATH_FIELD])) return false;
      if ((head & 1) != 0 && !read_count(at, end, posting.count[SYMBOL_FIELD])) return false;
      if (!read_count(at, end, posting.count[CONTENT_FIELD])) return false;
      visit(posting);
    }
    return true;
  }

  std::optional<TermEntry> find(std::string_view term) const;
  std::optional<PostingRange> postings_of(std::string_view term) const;
  bool lists_are_whole() const;

  static PackedArray<std::uint32_t> slice(const PackedArray<std::uint32_t>& starts,
                                          const PackedArray<std::uint32_t>& entries,
                                          std::size_t file) {
    const std::uint32_t start = starts[file];
    return entries.sub(start, starts[file + 1] - start);
  }

  static bool read_varint(const char*& at, const char* end, std::uint64_t& value) {
    value = 0;
    for (unsigned shift = 0; shift < 64 && at < end; shift += 7) {
      const auto byte = static_cast<unsigned char>(*at++);
      value |= std::uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80u) == 0) return true;
    }
    return false;
  }
  static bool read_count(const char*& at, const char* end, std::uint32_t& count) {
    std::uint64_t value = 0;
    if (!read_varint(at, end, value) || value > 0xFFFFFFFFu) return false;
    count = static_cast<std::uint32_t>(value);
    return true;
  }

  TermStatsHeader header_{};
  PackedArray<std::uint32_t> node_;
  PackedArray<std::uint32_t> canonical_;
  PackedArray<std::uint32_t> length_;
  PackedArray<double> prior_;
  PackedArray<std::uint8_t> flags_;
  PackedArray<std::uint32_t> neighbour_start_;
  PackedArray<std::uint32_t> neighbours_;
  PackedArray<std::uint32_t> companion_start_;
  PackedArray<std::uint32_t> companions_;
  PackedArray<std::uint32_t> edge_from_;
  PackedArray<std::uint32_t> edge_target_;
  PackedArray<TermEntry> terms_;
  std::string_view term_text_;
  std::string_view postings_;
};

}  // namespace plinthar::scanner

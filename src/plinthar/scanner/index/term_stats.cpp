#include "plinthar/scanner/index/term_stats.hpp"

#include <algorithm>

namespace plinthar::scanner {

namespace {

std::uint64_t padded_to_8(std::uint64_t size) { return (size + 7) / 8 * 8; }

template <typename T>
PackedArray<T> array_at(std::string_view bytes, std::size_t offset, std::size_t count) {
  return PackedArray<T>(bytes.data() + offset, count);
}

// Whether `starts` (count + 1 entries) rises from 0 to `total` and `entries` stay below
// `limit`.
bool list_is_whole(const PackedArray<std::uint32_t>& starts,
                   const PackedArray<std::uint32_t>& entries, std::size_t limit) {
  if (starts[0] != 0 || starts[starts.size() - 1] != entries.size()) return false;
  for (std::size_t i = 1; i < starts.size(); ++i) {
    if (starts[i] < starts[i - 1]) return false;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] >= limit) return false;
  }
  return true;
}

}  // namespace

TermStatsOffsets term_stats_offsets(const TermStatsHeader& header) {
  const std::uint64_t files = header.file_count;
  const std::uint64_t edges = header.edge_count;
  TermStatsOffsets at{};
  std::uint64_t offset = padded_to_8(sizeof(TermStatsHeader));
  const auto place = [&offset](std::uint64_t& start, std::uint64_t bytes) {
    start = offset;
    offset = padded_to_8(offset + bytes);
  };
  place(at.node, files * 4);
  place(at.canonical, files * 4);
  place(at.length, files * 4 * TERM_FIELDS);
  place(at.prior, files * 8);
  place(at.flags, files);
  place(at.neighbour_start, (files + 1) * 4);
  place(at.neighbours, std::uint64_t{header.neighbour_count} * 4);
  place(at.companion_start, (files + 1) * 4);
  place(at.companions, std::uint64_t{header.companion_count} * 4);
  place(at.edge_from, edges * 4);
  place(at.edge_target, edges * 4);
  place(at.terms, std::uint64_t{header.term_count} * sizeof(TermEntry));
  place(at.term_text, header.term_text_bytes);
  place(at.postings, header.postings_bytes);
  at.end = offset;
  return at;
}

std::optional<TermStats> TermStats::open(std::string_view bytes) {
  if (bytes.size() < sizeof(TermStatsHeader)) return std::nullopt;
  TermStats stats;
  std::memcpy(&stats.header_, bytes.data(), sizeof stats.header_);
  const TermStatsHeader& header = stats.header_;
  // Counts this large cannot come from a graph an index is made of; refusing them keeps
  // the offsets below from overflowing.
  constexpr std::uint64_t LIMIT = std::uint64_t{1} << 32;
  if (header.layout != TERM_STATS_LAYOUT || header.term_text_bytes >= LIMIT ||
      header.postings_bytes >= LIMIT || header.file_count >= NO_FILE) {
    return std::nullopt;
  }
  const TermStatsOffsets at = term_stats_offsets(header);
  if (at.end != bytes.size()) return std::nullopt;
  const std::size_t files = header.file_count;
  const std::size_t edges = header.edge_count;
  stats.node_ = array_at<std::uint32_t>(bytes, at.node, files);
  stats.canonical_ = array_at<std::uint32_t>(bytes, at.canonical, files);
  stats.length_ = array_at<std::uint32_t>(bytes, at.length, files * TERM_FIELDS);
  stats.prior_ = array_at<double>(bytes, at.prior, files);
  stats.flags_ = array_at<std::uint8_t>(bytes, at.flags, files);
  stats.neighbour_start_ = array_at<std::uint32_t>(bytes, at.neighbour_start, files + 1);
  stats.neighbours_ = array_at<std::uint32_t>(bytes, at.neighbours, header.neighbour_count);
  stats.companion_start_ = array_at<std::uint32_t>(bytes, at.companion_start, files + 1);
  stats.companions_ = array_at<std::uint32_t>(bytes, at.companions, header.companion_count);
  stats.edge_from_ = array_at<std::uint32_t>(bytes, at.edge_from, edges);
  stats.edge_target_ = array_at<std::uint32_t>(bytes, at.edge_target, edges);
  stats.terms_ = array_at<TermEntry>(bytes, at.terms, header.term_count);
  stats.term_text_ = bytes.substr(at.term_text, header.term_text_bytes);
  stats.postings_ = bytes.substr(at.postings, header.postings_bytes);
  if (!stats.lists_are_whole()) return std::nullopt;
  return stats;
}

// The lists every query walks are checked once here; a term's postings are checked as
// they are read.
bool TermStats::lists_are_whole() const {
  const std::size_t files = header_.file_count;
  for (std::size_t i = 0; i < files; ++i) {
    if (canonical_[i] >= files) return false;
  }
  for (std::size_t e = 0; e < header_.edge_count; ++e) {
    if ((edge_from_[e] >= files && edge_from_[e] != NO_FILE) ||
        (edge_target_[e] >= files && edge_target_[e] != NO_FILE)) {
      return false;
    }
  }
  return list_is_whole(neighbour_start_, neighbours_, files) &&
         list_is_whole(companion_start_, companions_, files);
}

std::optional<TermEntry> TermStats::find(std::string_view term) const {
  std::size_t low = 0;
  std::size_t high = terms_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const TermEntry entry = terms_[middle];
    if (std::uint64_t{entry.text_offset} + entry.text_length > term_text_.size()) {
      return std::nullopt;
    }
    const int order = term_text_.substr(entry.text_offset, entry.text_length).compare(term);
    if (order == 0) return entry;
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return std::nullopt;
}

std::uint32_t TermStats::document_frequency(std::string_view term) const {
  const auto entry = find(term);
  return entry ? entry->document_frequency : 0;
}

auto TermStats::postings_of(std::string_view term) const -> std::optional<PostingRange> {
  const auto entry = find(term);
  if (!entry || entry->postings_offset > postings_.size()) return std::nullopt;
  return PostingRange{entry->postings_offset, postings_.size(), entry->document_frequency};
}

}  // namespace plinthar::scanner

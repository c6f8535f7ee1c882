#include "plinthar/index/term_stats.hpp"

#include <cstring>

#include "plinthar/index/byte_writer.hpp"

namespace plinthar::index {

namespace {

template <typename T>
PackedArray<T> array_at(std::string_view bytes, std::uint64_t offset, std::size_t count) {
  return PackedArray<T>(bytes.data() + offset, count);
}

// Whether `starts` (count + 1 entries) rises from 0 to `total`.
bool starts_are_whole(const PackedArray<std::uint32_t>& starts, std::uint64_t total) {
  if (starts[0] != 0 || starts[starts.size() - 1] != total) return false;
  for (std::size_t i = 1; i < starts.size(); ++i) {
    if (starts[i] < starts[i - 1]) return false;
  }
  return true;
}

bool below(const PackedArray<std::uint32_t>& values, std::size_t limit, bool none_allowed) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] >= limit && !(none_allowed && values[i] == NO_FILE)) return false;
  }
  return true;
}

TermStatsHeader header_of(const TermStatsParts& parts, std::uint64_t stem_text_bytes,
                          const TermLists& lists) {
  TermStatsHeader header{};
  header.layout = TERM_STATS_LAYOUT;
  header.file_count = static_cast<std::uint32_t>(parts.node.size());
  header.term_count = static_cast<std::uint32_t>(lists.size());
  header.edge_count = static_cast<std::uint32_t>(parts.edge_from.size());
  header.stem_count = static_cast<std::uint32_t>(parts.stems.size());
  header.stem_text_bytes = stem_text_bytes;
  header.term_text_bytes = lists.texts().size();
  header.postings_bytes = lists.postings().size();
  std::array<std::uint64_t, TERM_FIELDS> total{};
  for (std::size_t i = 0; i < parts.length.size(); ++i) total[i % TERM_FIELDS] += parts.length[i];
  const double files = parts.node.empty() ? 1.0 : static_cast<double>(parts.node.size());
  for (std::size_t f = 0; f < TERM_FIELDS; ++f) {
    const double average = static_cast<double>(total[f]) / files;
    header.average_length[f] = average == 0.0 ? 1.0 : average;
  }
  return header;
}

void put_postings(ByteWriter& out, const std::vector<Posting>& postings) {
  std::uint32_t previous = 0;
  for (const Posting& posting : postings) {
    const bool in_path = posting.count[PATH_FIELD] != 0;
    const bool in_symbols = posting.count[SYMBOL_FIELD] != 0;
    out.put_varint(std::uint64_t{posting.file - previous} * 4 + (in_path ? 2 : 0) +
                   (in_symbols ? 1 : 0));
    if (in_path) out.put_varint(posting.count[PATH_FIELD]);
    if (in_symbols) out.put_varint(posting.count[SYMBOL_FIELD]);
    out.put_varint(posting.count[CONTENT_FIELD]);
    previous = posting.file;
  }
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
  place(at.size, files * 8);
  place(at.facts, files);
  place(at.stem, files * 4);
  place(at.stem_start, (std::uint64_t{header.stem_count} + 1) * 4);
  place(at.stem_text, header.stem_text_bytes);
  place(at.edge_from, edges * 4);
  place(at.edge_target, edges * 4);
  place(at.terms, std::uint64_t{header.term_count} * sizeof(TermEntry));
  place(at.term_text, header.term_text_bytes);
  place(at.postings, header.postings_bytes);
  at.end = offset;
  return at;
}

void TermLists::add(std::string_view term, std::uint32_t document_frequency,
                    std::string_view postings) {
  entries_.push_back({static_cast<std::uint32_t>(texts_.size()),
                      static_cast<std::uint32_t>(term.size()), document_frequency,
                      static_cast<std::uint32_t>(postings_.size())});
  texts_ += term;
  postings_.put_bytes(postings);
}

void TermLists::add(std::string_view term, const std::vector<Posting>& postings) {
  entries_.push_back(
      {static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(term.size()),
       static_cast<std::uint32_t>(postings.size()), static_cast<std::uint32_t>(postings_.size())});
  texts_ += term;
  put_postings(postings_, postings);
}

std::string term_stats_bytes(const TermStatsParts& parts) {
  TermLists lists;
  for (std::size_t t = 0; t < parts.terms.size(); ++t) lists.add(parts.terms[t], parts.postings[t]);
  return term_stats_bytes(parts, lists);
}

std::string term_stats_bytes(const TermStatsParts& parts, const TermLists& lists) {
  std::vector<std::uint32_t> stem_start{0};
  std::string stem_text;
  for (const std::string& stem : parts.stems) {
    stem_text += stem;
    stem_start.push_back(static_cast<std::uint32_t>(stem_text.size()));
  }
  const TermStatsHeader header = header_of(parts, stem_text.size(), lists);
  ByteWriter out;
  out.put(header);
  out.pad_to_8();
  out.put_array(parts.node);
  out.put_array(parts.canonical);
  out.put_array(parts.length);
  out.put_array(parts.size);
  out.put_array(parts.facts);
  out.put_array(parts.stem);
  out.put_array(stem_start);
  out.put_bytes(stem_text);
  out.pad_to_8();
  out.put_array(parts.edge_from);
  out.put_array(parts.edge_target);
  out.put_array(lists.entries());
  out.put_bytes(lists.texts());
  out.pad_to_8();
  out.put_bytes(lists.postings());
  out.pad_to_8();
  return std::move(out).take();
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
      header.postings_bytes >= LIMIT || header.stem_text_bytes >= LIMIT ||
      header.file_count >= NO_FILE || header.stem_count >= NO_FILE) {
    return std::nullopt;
  }
  const TermStatsOffsets at = term_stats_offsets(header);
  if (at.end != bytes.size()) return std::nullopt;
  const std::size_t files = header.file_count;
  const std::size_t edges = header.edge_count;
  stats.node_ = array_at<std::uint32_t>(bytes, at.node, files);
  stats.canonical_ = array_at<std::uint32_t>(bytes, at.canonical, files);
  stats.length_ = array_at<std::uint32_t>(bytes, at.length, files * TERM_FIELDS);
  stats.size_ = array_at<std::int64_t>(bytes, at.size, files);
  stats.facts_ = array_at<std::uint8_t>(bytes, at.facts, files);
  stats.stem_ = array_at<std::uint32_t>(bytes, at.stem, files);
  stats.stem_start_ = array_at<std::uint32_t>(bytes, at.stem_start, header.stem_count + 1);
  stats.stem_text_ = bytes.substr(at.stem_text, header.stem_text_bytes);
  stats.edge_from_ = array_at<std::uint32_t>(bytes, at.edge_from, edges);
  stats.edge_target_ = array_at<std::uint32_t>(bytes, at.edge_target, edges);
  stats.terms_ = array_at<TermEntry>(bytes, at.terms, header.term_count);
  stats.term_text_ = bytes.substr(at.term_text, header.term_text_bytes);
  stats.postings_ = bytes.substr(at.postings, header.postings_bytes);
  if (!stats.lists_are_whole()) return std::nullopt;
  return stats;
}

// The arrays every query walks are checked once here; a term's postings are checked as
// they are read.
bool TermStats::lists_are_whole() const {
  const std::size_t files = header_.file_count;
  return below(canonical_, files, false) && below(stem_, header_.stem_count, false) &&
         below(edge_from_, files, true) && below(edge_target_, files, true) &&
         starts_are_whole(stem_start_, stem_text_.size());
}

std::optional<TermEntry> TermStats::find(std::string_view term) const {
  std::size_t low = 0;
  std::size_t high = terms_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const TermEntry entry = terms_[middle];
    if (!in_term_text(entry)) return std::nullopt;
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

std::string_view TermStats::term_at(std::size_t i) const {
  const TermEntry entry = terms_[i];
  return in_term_text(entry) ? term_text_.substr(entry.text_offset, entry.text_length)
                             : std::string_view();
}

std::optional<std::string_view> TermStats::postings_bytes_at(std::size_t i) const {
  const std::uint64_t start = terms_[i].postings_offset;
  const std::uint64_t end =
      i + 1 < terms_.size() ? terms_[i + 1].postings_offset : postings_.size();
  if (start > end || end > postings_.size()) return std::nullopt;
  return postings_.substr(start, end - start);
}

std::uint32_t TermStats::document_frequency(std::string_view term) const {
  const auto entry = find(term);
  return entry ? entry->document_frequency : 0;
}

}  // namespace plinthar::index

#include "plinthar/scanner/index/graph_index.hpp"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/scanner/index/file_status.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"

#ifndef PLINTHAR_BUILD_ID
#define PLINTHAR_BUILD_ID "unknown"
#endif

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace fmt = index_format;

namespace {

constexpr std::uint32_t MAX_SECTIONS = 16;
// Far beyond any index of a real graph; a larger file is not read.
constexpr off_t MAX_INDEX_BYTES = off_t{1} << 31;

std::uint64_t build_hash() {
  static const std::uint64_t hash = text::content_hash(PLINTHAR_BUILD_ID);
  return hash;
}

std::size_t padded_to_8(std::size_t size) { return (size + 7) / 8 * 8; }

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
    fmt::TextEntry entry{};
    entry.text = append(original);
    entry.lower = lowered.text == original ? entry.text : append(lowered.text);
    entry.mask_low = lowered.mask.low;
    entry.mask_high = lowered.mask.high;
    slot->second = static_cast<std::uint32_t>(rows_.size());
    rows_.push_back(entry);
    return slot->second;
  }

  const std::string& blob() const { return blob_; }
  const std::vector<fmt::TextEntry>& rows() const { return rows_; }

 private:
  fmt::TextRef append(std::string_view text) {
    const fmt::TextRef ref{static_cast<std::uint32_t>(blob_.size()),
                           static_cast<std::uint32_t>(text.size())};
    blob_.append(text);
    return ref;
  }

  absl::flat_hash_map<std::string_view, std::uint32_t> entries_;
  std::vector<fmt::TextEntry> rows_;
  std::string blob_;
  std::string buffer_;
};

fmt::Span span_of(const GraphSpan& span) { return {span.offset, span.length}; }

template <typename Row>
void append_rows(std::string& out, const std::vector<Row>& rows) {
  out.append(reinterpret_cast<const char*>(rows.data()), rows.size() * sizeof(Row));
}

// Lays out the header, the section table and the sections, then the checksum.
std::string assemble(const fmt::GraphIdentity& graph,
                     const std::vector<std::pair<fmt::SectionKind, std::string>>& sections) {
  fmt::Header header{};
  std::memcpy(header.magic, fmt::MAGIC, sizeof header.magic);
  header.version = fmt::VERSION;
  header.byte_order = fmt::BYTE_ORDER_PROBE;
  header.word_size = sizeof(void*);
  header.section_count = static_cast<std::uint32_t>(sections.size());
  header.build_hash = build_hash();
  header.graph = graph;
  std::vector<fmt::Section> table;
  std::size_t offset = padded_to_8(sizeof header + sections.size() * sizeof(fmt::Section));
  for (const auto& [kind, bytes] : sections) {
    table.push_back({static_cast<std::uint32_t>(kind), 0, offset, bytes.size()});
    offset = padded_to_8(offset + bytes.size());
  }
  header.file_size = offset + sizeof(std::uint64_t);
  std::string out(reinterpret_cast<const char*>(&header), sizeof header);
  append_rows(out, table);
  for (const auto& [kind, bytes] : sections) {
    out.resize(padded_to_8(out.size()), '\0');
    out += bytes;
  }
  out.resize(padded_to_8(out.size()), '\0');
  const std::uint64_t checksum = text::content_hash(out);
  out.append(reinterpret_cast<const char*>(&checksum), sizeof checksum);
  return out;
}

}  // namespace

fs::path index_path_for(const fs::path& graph_file) {
  fs::path index = graph_file;
  if (index.extension() == ".json") return index.replace_extension(".index");
  return index += ".index";
}

std::optional<GraphIdentity> graph_identity(int graph_fd, std::uint64_t content_hash) {
  const auto status = file_status(graph_fd);
  if (!status) return std::nullopt;
  return GraphIdentity{status->size,     status->inode,    status->device,
                       status->mtime_ns, status->ctime_ns, content_hash};
}

std::string index_bytes(const GraphRecords& records, const GraphIdentity& graph,
                        const ExtraSections& extra) {
  TextTable texts;
  std::vector<fmt::NodeRow> nodes;
  nodes.reserve(records.nodes.size());
  for (std::size_t i = 0; i < records.nodes.size(); ++i) {
    const NodeRecord& node = records.nodes[i];
    fmt::NodeRow row{};
    row.id = texts.entry(node.id.text, &node.id_lower);
    row.kind = texts.entry(node.kind);
    row.ext = texts.entry(node.ext);
    row.confidence = texts.entry(node.confidence);
    row.summary = texts.entry(node.summary, &node.summary_lower);
    row.keywords = texts.entry(node.keywords, &node.keywords_lower);
    row.flags = node.id.present ? fmt::ID_PRESENT : 0;
    row.degree = node.degree;
    row.span = span_of(records.node_spans.at(i));
    nodes.push_back(row);
  }
  std::vector<fmt::EdgeRow> edges;
  edges.reserve(records.edges.size());
  for (std::size_t i = 0; i < records.edges.size(); ++i) {
    const EdgeRecord& edge = records.edges[i];
    fmt::EdgeRow row{};
    row.from = texts.entry(edge.from.text, &edge.from_lower);
    row.to = texts.entry(edge.to.text, &edge.to_lower);
    row.rel = texts.entry(edge.rel, &edge.rel_lower);
    row.flags =
        (edge.from.present ? fmt::FROM_PRESENT : 0) | (edge.to.present ? fmt::TO_PRESENT : 0);
    row.span = span_of(records.edge_spans.at(i));
    edges.push_back(row);
  }
  std::vector<std::pair<fmt::SectionKind, std::string>> sections(4);
  // The records' own texts are viewed while the table is built, and copied into the blob.
  sections[0] = {fmt::SectionKind::blob, texts.blob()};
  sections[1].first = fmt::SectionKind::entries;
  append_rows(sections[1].second, texts.rows());
  sections[2].first = fmt::SectionKind::nodes;
  append_rows(sections[2].second, nodes);
  sections[3].first = fmt::SectionKind::edges;
  append_rows(sections[3].second, edges);
  sections.insert(sections.end(), extra.begin(), extra.end());
  return assemble(graph, sections);
}

bool write_graph_index(const fs::path& index_path, const GraphRecords& records,
                       const GraphIdentity& graph, const ExtraSections& extra) {
  try {
    text::write_file_atomically(index_path, index_bytes(records, graph, extra));
    return true;
  } catch (const Error&) {
    return false;
  }
}

namespace {

// Reads the rest of `fd` from its start: exactly `size` bytes, or nothing.
std::optional<std::string> read_exactly(int fd, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::pread(fd, bytes.data() + done, size - done, static_cast<off_t>(done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    done += static_cast<std::size_t>(count);
  }
  return bytes;
}

// content_hash of the whole file open as `fd`, read in pieces.
std::optional<std::uint64_t> hash_of_file(int fd) {
  text::ContentHasher hasher;
  std::vector<char> piece(std::size_t{1} << 20);
  for (off_t offset = 0;;) {
    const ssize_t count = ::pread(fd, piece.data(), piece.size(), offset);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) return hasher.value();
    hasher.add(std::string_view(piece.data(), static_cast<std::size_t>(count)));
    offset += count;
  }
}

template <typename T>
T read_at(const std::string& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

bool same_file(const fmt::GraphIdentity& recorded, const FileStatus& now) {
  return recorded.size == now.size && recorded.inode == now.inode &&
         recorded.device == now.device && recorded.mtime_ns == now.mtime_ns &&
         recorded.ctime_ns == now.ctime_ns;
}

// A graph file changed within the same clock tick as its index was written keeps its
// status; when the index is not strictly newer than the graph, the content decides.
// Once it has, the index is marked newer so that the next reader need not check again.
bool graph_matches(const fmt::GraphIdentity& recorded, int graph_fd, int index_fd,
                   const FileStatus& index_status) {
  const auto now = file_status(graph_fd);
  if (!now || !same_file(recorded, *now)) return false;
  if (index_status.mtime_ns > recorded.mtime_ns) return true;
  if (hash_of_file(graph_fd) != recorded.content_hash) return false;
  ::futimens(index_fd, nullptr);  // may be refused; the check is then made again next time
  return true;
}

// The sections of a whole index of this build, by kind; empty when anything is off.
std::vector<fmt::Section> checked_sections(const std::string& bytes) {
  if (bytes.size() < sizeof(fmt::Header) + sizeof(std::uint64_t)) return {};
  const auto header = read_at<fmt::Header>(bytes, 0);
  if (std::memcmp(header.magic, fmt::MAGIC, sizeof header.magic) != 0 ||
      header.version != fmt::VERSION || header.byte_order != fmt::BYTE_ORDER_PROBE ||
      header.word_size != sizeof(void*) || header.build_hash != build_hash() ||
      header.file_size != bytes.size() || header.section_count > MAX_SECTIONS) {
    return {};
  }
  const std::size_t body = bytes.size() - sizeof(std::uint64_t);
  if (text::content_hash(std::string_view(bytes.data(), body)) !=
      read_at<std::uint64_t>(bytes, body)) {
    return {};
  }
  std::vector<fmt::Section> sections(fmt::SECTION_KINDS);
  for (std::uint32_t i = 0; i < header.section_count; ++i) {
    const auto section =
        read_at<fmt::Section>(bytes, sizeof(fmt::Header) + i * sizeof(fmt::Section));
    if (section.offset % 8 != 0 || section.offset > body || section.size > body - section.offset ||
        section.kind < 1 || section.kind >= fmt::SECTION_KINDS) {
      return {};
    }
    sections[section.kind] = section;
  }
  for (const fmt::SectionKind kind : {fmt::SectionKind::blob, fmt::SectionKind::entries,
                                      fmt::SectionKind::nodes, fmt::SectionKind::edges}) {
    if (sections[static_cast<std::size_t>(kind)].kind != static_cast<std::uint32_t>(kind)) {
      return {};
    }
  }
  return sections;
}

}  // namespace

std::optional<GraphIndex> GraphIndex::open(const fs::path& index_path, int graph_fd) {
  const text::FileDescriptor fd(::open(index_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  const auto index_status = file_status(fd.get());
  if (!index_status || status.st_size > MAX_INDEX_BYTES) return std::nullopt;
  auto bytes = read_exactly(fd.get(), static_cast<std::size_t>(status.st_size));
  if (!bytes) return std::nullopt;
  auto sections = checked_sections(*bytes);
  if (sections.empty()) return std::nullopt;
  const auto header = read_at<fmt::Header>(*bytes, 0);
  if (!graph_matches(header.graph, graph_fd, fd.get(), *index_status)) return std::nullopt;
  return GraphIndex(std::move(*bytes), std::move(sections));
}

namespace {

// The rows of one section, checked against the sizes they refer to.
class IndexView {
 public:
  IndexView(const std::string& bytes, const std::vector<fmt::Section>& sections)
      : bytes_(bytes), sections_(sections) {
    const fmt::Section& blob = sections_[static_cast<int>(fmt::SectionKind::blob)];
    blob_ = std::string_view(bytes.data() + blob.offset, blob.size);
    graph_size_ = read_at<fmt::Header>(bytes, 0).graph.size;
  }

  template <typename Row>
  std::optional<std::vector<Row>> rows(fmt::SectionKind kind) const {
    const fmt::Section& section = sections_[static_cast<int>(kind)];
    if (section.size % sizeof(Row) != 0) return std::nullopt;
    std::vector<Row> rows(section.size / sizeof(Row));
    // An empty section leaves rows.data() null, which memcpy must never be given.
    if (section.size != 0) std::memcpy(rows.data(), bytes_.data() + section.offset, section.size);
    return rows;
  }

  bool in_blob(const fmt::TextRef& ref) const {
    return ref.offset <= blob_.size() && ref.length <= blob_.size() - ref.offset;
  }
  std::string_view text(const fmt::TextRef& ref) const {
    return blob_.substr(ref.offset, ref.length);
  }
  bool in_graph(const fmt::Span& span) const {
    return span.offset <= graph_size_ && span.length <= graph_size_ - span.offset;
  }

 private:
  const std::string& bytes_;
  const std::vector<fmt::Section>& sections_;
  std::string_view blob_;
  std::uint64_t graph_size_ = 0;
};

struct Entry {
  std::string_view text;
  text::MaskedText lower;
};

std::optional<std::vector<Entry>> text_entries(const IndexView& view) {
  const auto rows = view.rows<fmt::TextEntry>(fmt::SectionKind::entries);
  if (!rows) return std::nullopt;
  std::vector<Entry> entries;
  entries.reserve(rows->size());
  for (const fmt::TextEntry& row : *rows) {
    if (!view.in_blob(row.text) || !view.in_blob(row.lower)) return std::nullopt;
    entries.push_back(
        {view.text(row.text),
         text::MaskedText(view.text(row.lower), text::CharMask{row.mask_low, row.mask_high})});
  }
  return entries;
}

bool known(std::size_t count, std::initializer_list<std::uint32_t> entries) {
  for (const std::uint32_t entry : entries) {
    if (entry >= count) return false;
  }
  return true;
}

bool add_nodes(const IndexView& view, const std::vector<Entry>& entries, GraphRecords& records) {
  const auto rows = view.rows<fmt::NodeRow>(fmt::SectionKind::nodes);
  if (!rows) return false;
  records.nodes.reserve(rows->size());
  records.node_spans.reserve(rows->size());
  for (const fmt::NodeRow& row : *rows) {
    if (!known(entries.size(),
               {row.id, row.kind, row.ext, row.confidence, row.summary, row.keywords}) ||
        !view.in_graph(row.span)) {
      return false;
    }
    NodeRecord& node = records.nodes.emplace_back();
    node.id.text = entries[row.id].text;
    node.id.present = (row.flags & fmt::ID_PRESENT) != 0;
    node.kind = entries[row.kind].text;
    node.ext = entries[row.ext].text;
    node.confidence = entries[row.confidence].text;
    node.summary = entries[row.summary].text;
    node.keywords = entries[row.keywords].text;
    node.id_lower = entries[row.id].lower;
    node.ext_lower = entries[row.ext].lower.text;
    node.summary_lower = entries[row.summary].lower;
    node.keywords_lower = entries[row.keywords].lower;
    node.degree = row.degree;
    records.node_spans.push_back({row.span.offset, row.span.length});
  }
  return true;
}

bool add_edges(const IndexView& view, const std::vector<Entry>& entries, GraphRecords& records) {
  const auto rows = view.rows<fmt::EdgeRow>(fmt::SectionKind::edges);
  if (!rows) return false;
  records.edges.reserve(rows->size());
  records.edge_spans.reserve(rows->size());
  for (const fmt::EdgeRow& row : *rows) {
    if (!known(entries.size(), {row.from, row.to, row.rel}) || !view.in_graph(row.span)) {
      return false;
    }
    EdgeRecord& edge = records.edges.emplace_back();
    edge.from.text = entries[row.from].text;
    edge.from.present = (row.flags & fmt::FROM_PRESENT) != 0;
    edge.to.text = entries[row.to].text;
    edge.to.present = (row.flags & fmt::TO_PRESENT) != 0;
    edge.rel = entries[row.rel].text;
    edge.from_lower = entries[row.from].lower;
    edge.to_lower = entries[row.to].lower;
    edge.rel_lower = entries[row.rel].lower;
    records.edge_spans.push_back({row.span.offset, row.span.length});
  }
  return true;
}

}  // namespace

std::optional<GraphRecords> GraphIndex::records() const {
  const IndexView view(bytes_, sections_);
  const auto entries = text_entries(view);
  if (!entries) return std::nullopt;
  GraphRecords records;
  if (!add_nodes(view, *entries, records) || !add_edges(view, *entries, records)) {
    return std::nullopt;
  }
  return records;
}

std::size_t GraphIndex::node_count() const {
  return sections_[static_cast<std::size_t>(fmt::SectionKind::nodes)].size / sizeof(fmt::NodeRow);
}

std::size_t GraphIndex::edge_count() const {
  return sections_[static_cast<std::size_t>(fmt::SectionKind::edges)].size / sizeof(fmt::EdgeRow);
}

GraphIdentity GraphIndex::graph() const { return read_at<fmt::Header>(bytes_, 0).graph; }

std::optional<std::string_view> GraphIndex::section(fmt::SectionKind kind) const {
  const fmt::Section& section = sections_[static_cast<std::size_t>(kind)];
  if (section.kind != static_cast<std::uint32_t>(kind)) return std::nullopt;
  return std::string_view(bytes_).substr(section.offset, section.size);
}

}  // namespace plinthar::scanner

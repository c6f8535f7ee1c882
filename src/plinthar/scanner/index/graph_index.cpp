#include "plinthar/scanner/index/graph_index.hpp"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/platform/page_release.hpp"
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
// The sections every index has: what the records are made of.
constexpr fmt::SectionKind RECORD_SECTIONS[] = {fmt::SectionKind::blob, fmt::SectionKind::entries,
                                                fmt::SectionKind::nodes, fmt::SectionKind::edges};
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
  const std::size_t table_end = padded_to_8(sizeof header + sections.size() * sizeof(fmt::Section));
  std::size_t length = table_end + sizeof(std::uint64_t);
  for (const auto& section : sections) length += padded_to_8(section.second.size());
  std::string body;
  body.reserve(length);  // the sections are large: no room thrown away growing into it
  body.resize(table_end, '\0');
  std::vector<fmt::Section> table;
  for (const auto& [kind, bytes] : sections) {
    const std::size_t offset = body.size();
    body += bytes;
    body.resize(padded_to_8(body.size()), '\0');
    const std::uint64_t checksum =
        text::content_hash(std::string_view(body).substr(offset, body.size() - offset));
    table.push_back({static_cast<std::uint32_t>(kind), 0, offset, bytes.size(), checksum});
  }
  header.file_size = body.size() + sizeof(std::uint64_t);
  std::memcpy(body.data(), &header, sizeof header);
  std::memcpy(body.data() + sizeof header, table.data(), table.size() * sizeof(fmt::Section));
  const std::uint64_t checksum = text::content_hash(std::string_view(body).substr(0, table_end));
  body.append(reinterpret_cast<const char*>(&checksum), sizeof checksum);
  return body;
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
    // The index is checked by its readers and made again when damaged: no need to wait
    // for the disk.
    text::write_file_atomically(index_path, index_bytes(records, graph, extra),
                                text::Durability::unsynced);
    return true;
  } catch (const Error&) {
    return false;
  }
}

namespace {

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
T read_at(std::string_view bytes, std::size_t offset) {
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

// The header of an index of this build, `file_size` bytes long, at the start of `head`.
std::optional<fmt::Header> checked_header(std::string_view head, std::uint64_t file_size) {
  if (head.size() < sizeof(fmt::Header)) return std::nullopt;
  const auto header = read_at<fmt::Header>(head, 0);
  if (std::memcmp(header.magic, fmt::MAGIC, sizeof header.magic) != 0 ||
      header.version != fmt::VERSION || header.byte_order != fmt::BYTE_ORDER_PROBE ||
      header.word_size != sizeof(void*) || header.build_hash != build_hash() ||
      header.file_size != file_size || header.section_count > MAX_SECTIONS) {
    return std::nullopt;
  }
  return header;
}

// The sections listed in `head` (the header and the table, checked), by kind; empty when
// one lies outside the body or a record section is missing.
std::vector<fmt::Section> checked_sections(std::string_view head, const fmt::Header& header,
                                           std::uint64_t body) {
  std::vector<fmt::Section> sections(fmt::SECTION_KINDS);
  for (std::uint32_t i = 0; i < header.section_count; ++i) {
    const auto section =
        read_at<fmt::Section>(head, sizeof(fmt::Header) + i * sizeof(fmt::Section));
    if (section.offset % 8 != 0 || section.offset < head.size() || section.offset > body ||
        padded_to_8(section.size) > body - section.offset || section.kind < 1 ||
        section.kind >= fmt::SECTION_KINDS) {
      return {};
    }
    sections[section.kind] = section;
  }
  for (const fmt::SectionKind kind : RECORD_SECTIONS) {
    if (sections[static_cast<std::size_t>(kind)].kind != static_cast<std::uint32_t>(kind)) {
      return {};
    }
  }
  return sections;
}

// Reads the header and the section table of the index open as `fd`, `file_size` bytes
// long, and checks them against the checksum at its end.
std::optional<std::pair<fmt::Header, std::vector<fmt::Section>>> read_table(
    int fd, std::uint64_t file_size) {
  if (file_size < sizeof(fmt::Header) + sizeof(std::uint64_t)) return std::nullopt;
  std::string head(sizeof(fmt::Header), '\0');
  if (!text::read_exactly_at(fd, head.data(), head.size(), 0)) return std::nullopt;
  const auto header = checked_header(head, file_size);
  if (!header) return std::nullopt;
  const std::size_t table_end =
      padded_to_8(sizeof(fmt::Header) + header->section_count * sizeof(fmt::Section));
  const std::uint64_t body = file_size - sizeof(std::uint64_t);
  if (table_end > body) return std::nullopt;
  head.resize(table_end + sizeof(std::uint64_t));
  if (!text::read_exactly_at(fd, head.data() + sizeof(fmt::Header), table_end - sizeof(fmt::Header),
                             sizeof(fmt::Header)) ||
      !text::read_exactly_at(fd, head.data() + table_end, sizeof(std::uint64_t), body)) {
    return std::nullopt;
  }
  const std::string_view checked = std::string_view(head).substr(0, table_end);
  if (text::content_hash(checked) != read_at<std::uint64_t>(head, table_end)) return std::nullopt;
  auto sections = checked_sections(checked, *header, body);
  if (sections.empty()) return std::nullopt;
  return std::pair{*header, std::move(sections)};
}

}  // namespace

std::optional<GraphIndex> GraphIndex::open(const fs::path& index_path, int graph_fd) {
  auto fd = std::make_shared<const text::FileDescriptor>(
      ::open(index_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd->get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd->get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  const auto index_status = file_status(fd->get());
  if (!index_status || status.st_size > MAX_INDEX_BYTES) return std::nullopt;
  auto table = read_table(fd->get(), static_cast<std::uint64_t>(status.st_size));
  if (!table || !graph_matches(table->first.graph, graph_fd, fd->get(), *index_status)) {
    return std::nullopt;
  }
  // Left uninitialised: only the sections read are ever touched, so the pages of the
  // others are never made resident.
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<std::size_t>(status.st_size)]);
  if (!bytes) return std::nullopt;
  GraphIndex index(std::move(fd), std::move(bytes), static_cast<std::size_t>(status.st_size),
                   table->first, std::move(table->second));
  for (const fmt::SectionKind kind : RECORD_SECTIONS) {
    if (!index.load(kind)) return std::nullopt;
  }
  return index;
}

GraphIndex::GraphIndex(std::shared_ptr<const text::FileDescriptor> fd,
                       std::unique_ptr<char[]> bytes, std::size_t size,
                       const index_format::Header& header,
                       std::vector<index_format::Section> sections)
    : fd_(std::move(fd)),
      bytes_(std::move(bytes)),
      size_(size),
      header_(header),
      sections_(std::move(sections)),
      loaded_(sections_.size(), false) {}

bool GraphIndex::load(fmt::SectionKind kind) const {
  const fmt::Section& section = sections_[static_cast<std::size_t>(kind)];
  if (section.kind != static_cast<std::uint32_t>(kind)) return false;
  if (loaded_[section.kind]) return true;
  const std::size_t length = padded_to_8(section.size);
  char* at = bytes_.get() + section.offset;
  if (!text::read_exactly_at(fd_->get(), at, length, section.offset) ||
      text::content_hash(std::string_view(at, length)) != section.checksum) {
    return false;
  }
  loaded_[section.kind] = true;
  return true;
}

namespace {

// The rows of one section, checked against the sizes they refer to.
class IndexView {
 public:
  IndexView(std::string_view bytes, const std::vector<fmt::Section>& sections,
            std::uint64_t graph_size)
      : bytes_(bytes), sections_(sections), graph_size_(graph_size) {
    const fmt::Section& blob = sections_[static_cast<int>(fmt::SectionKind::blob)];
    blob_ = bytes.substr(blob.offset, blob.size);
  }

  // The rows of a section where they lie (copied out one at a time, as they need not be
  // aligned).
  template <typename Row>
  class Rows {
   public:
    Rows(const char* data, std::size_t count) : data_(data), count_(count) {}
    std::size_t size() const { return count_; }
    Row operator[](std::size_t i) const {
      return read_at<Row>({data_, count_ * sizeof(Row)}, i * sizeof(Row));
    }

   private:
    const char* data_;
    std::size_t count_;
  };

  template <typename Row>
  std::optional<Rows<Row>> rows(fmt::SectionKind kind) const {
    const fmt::Section& section = sections_[static_cast<int>(kind)];
    if (section.size % sizeof(Row) != 0) return std::nullopt;
    return Rows<Row>(bytes_.data() + section.offset, section.size / sizeof(Row));
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
  std::string_view bytes_;
  const std::vector<fmt::Section>& sections_;
  std::uint64_t graph_size_ = 0;
  std::string_view blob_;
};

struct Entry {
  std::string_view text;
  text::MaskedText lower;
};

// The table of distinct texts, each entry checked as it is looked up.
class TextEntries {
 public:
  TextEntries(const IndexView& view, IndexView::Rows<fmt::TextEntry> rows)
      : view_(view), rows_(rows) {}

  std::size_t size() const { return rows_.size(); }
  std::optional<Entry> operator[](std::uint32_t i) const {
    if (i >= rows_.size()) return std::nullopt;
    const fmt::TextEntry row = rows_[i];
    if (!view_.in_blob(row.text) || !view_.in_blob(row.lower)) return std::nullopt;
    return Entry{
        view_.text(row.text),
        text::MaskedText(view_.text(row.lower), text::CharMask{row.mask_low, row.mask_high})};
  }

 private:
  const IndexView& view_;
  IndexView::Rows<fmt::TextEntry> rows_;
};

bool add_nodes(const IndexView& view, const TextEntries& entries, GraphRecords& records) {
  const auto rows = view.rows<fmt::NodeRow>(fmt::SectionKind::nodes);
  if (!rows) return false;
  records.nodes.reserve(rows->size());
  records.node_spans.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const fmt::NodeRow row = (*rows)[i];
    const auto id = entries[row.id];
    const auto kind = entries[row.kind];
    const auto ext = entries[row.ext];
    const auto confidence = entries[row.confidence];
    const auto summary = entries[row.summary];
    const auto keywords = entries[row.keywords];
    if (!id || !kind || !ext || !confidence || !summary || !keywords || !view.in_graph(row.span)) {
      return false;
    }
    NodeRecord& node = records.nodes.emplace_back();
    node.id.text = id->text;
    node.id.present = (row.flags & fmt::ID_PRESENT) != 0;
    node.kind = kind->text;
    node.ext = ext->text;
    node.confidence = confidence->text;
    node.summary = summary->text;
    node.keywords = keywords->text;
    node.id_lower = id->lower;
    node.ext_lower = ext->lower.text;
    node.summary_lower = summary->lower;
    node.keywords_lower = keywords->lower;
    node.degree = row.degree;
    records.node_spans.push_back({row.span.offset, row.span.length});
  }
  return true;
}

bool add_edges(const IndexView& view, const TextEntries& entries, GraphRecords& records) {
  const auto rows = view.rows<fmt::EdgeRow>(fmt::SectionKind::edges);
  if (!rows) return false;
  records.edges.reserve(rows->size());
  records.edge_spans.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const fmt::EdgeRow row = (*rows)[i];
    const auto from = entries[row.from];
    const auto to = entries[row.to];
    const auto rel = entries[row.rel];
    if (!from || !to || !rel || !view.in_graph(row.span)) return false;
    EdgeRecord& edge = records.edges.emplace_back();
    edge.from.text = from->text;
    edge.from.present = (row.flags & fmt::FROM_PRESENT) != 0;
    edge.to.text = to->text;
    edge.to.present = (row.flags & fmt::TO_PRESENT) != 0;
    edge.rel = rel->text;
    edge.from_lower = from->lower;
    edge.to_lower = to->lower;
    edge.rel_lower = rel->lower;
    records.edge_spans.push_back({row.span.offset, row.span.length});
  }
  return true;
}

}  // namespace

std::optional<GraphRecords> GraphIndex::records() const {
  for (const fmt::SectionKind kind : RECORD_SECTIONS) {
    if (!load(kind)) return std::nullopt;  // read again when given back after a first call
  }
  const IndexView view(std::string_view(bytes_.get(), size_), sections_, header_.graph.size);
  const auto rows = view.rows<fmt::TextEntry>(fmt::SectionKind::entries);
  if (!rows) return std::nullopt;
  const TextEntries entries(view, *rows);
  GraphRecords records;
  if (!add_nodes(view, entries, records)) return std::nullopt;
  // The records view only the blob: the rows go back to the system once read out, so
  // that they are not held beside the records made from them.
  release(fmt::SectionKind::nodes);
  if (!add_edges(view, entries, records)) return std::nullopt;
  release(fmt::SectionKind::edges);
  release(fmt::SectionKind::entries);
  return records;
}

void GraphIndex::release(fmt::SectionKind kind) const {
  const fmt::Section& section = sections_[static_cast<std::size_t>(kind)];
  if (section.kind != static_cast<std::uint32_t>(kind) || !loaded_[section.kind]) return;
  loaded_[section.kind] = false;  // read again if asked for
  platform::release_pages(bytes_.get() + section.offset, padded_to_8(section.size));
}

std::size_t GraphIndex::node_count() const {
  return sections_[static_cast<std::size_t>(fmt::SectionKind::nodes)].size / sizeof(fmt::NodeRow);
}

std::size_t GraphIndex::edge_count() const {
  return sections_[static_cast<std::size_t>(fmt::SectionKind::edges)].size / sizeof(fmt::EdgeRow);
}

GraphIdentity GraphIndex::graph() const { return header_.graph; }

std::optional<std::string_view> GraphIndex::section(fmt::SectionKind kind) const {
  if (!load(kind)) return std::nullopt;
  const fmt::Section& section = sections_[static_cast<std::size_t>(kind)];
  return std::string_view(bytes_.get() + section.offset, section.size);
}

}  // namespace plinthar::scanner

#include "plinthar/index/graph_index.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/index/build_stamp.hpp"
#include "plinthar/index/byte_reader.hpp"
#include "plinthar/index/byte_writer.hpp"
#include "plinthar/platform/page_release.hpp"
#include "plinthar/text/char_mask.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_status.hpp"

namespace plinthar::index {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t MAX_SECTIONS = 16;
// Far beyond any index of a real graph; a larger file is not read.
constexpr off_t MAX_INDEX_BYTES = off_t{1} << 31;

}  // namespace

namespace {

fs::path beside_graph(const fs::path& graph_file, const char* extension) {
  fs::path path = graph_file;
  if (path.extension() == ".json") return path.replace_extension(extension);
  return path += extension;
}

}  // namespace

fs::path graph_index_path(const fs::path& graph_file) { return beside_graph(graph_file, ".index"); }

fs::path graph_lock_path(const fs::path& graph_file) { return beside_graph(graph_file, ".lock"); }

fs::path graph_work_lock_path(const fs::path& graph_file) {
  return beside_graph(graph_file, ".work");
}

std::optional<GraphIdentity> graph_identity(int graph_fd, std::uint64_t content_hash) {
  const auto status = text::file_status(graph_fd);
  if (!status) return std::nullopt;
  return GraphIdentity{*status, content_hash};
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

// A graph file changed within the same clock tick as its index was written keeps its
// status; when the index is not strictly newer than the graph, the content decides.
// Once it has, the index is marked newer so that the next reader need not check again.
bool graph_matches(const format::GraphIdentity& recorded, int graph_fd, int index_fd,
                   const text::FileStatus& index_status) {
  const auto now = text::file_status(graph_fd);
  if (!now || *now != recorded.file) return false;
  if (index_status.mtime_ns > recorded.file.mtime_ns) return true;
  if (hash_of_file(graph_fd) != recorded.content_hash) return false;
  ::futimens(index_fd, nullptr);  // may be refused; the check is then made again next time
  return true;
}

// The header of an index of this build, `file_size` bytes long, at the start of `head`.
std::optional<format::Header> checked_header(std::string_view head, std::uint64_t file_size) {
  if (head.size() < sizeof(format::Header)) return std::nullopt;
  const auto header = value_at<format::Header>(head, 0);
  if (std::memcmp(header.magic, format::MAGIC, sizeof header.magic) != 0 ||
      header.version != format::VERSION || header.byte_order != format::BYTE_ORDER_PROBE ||
      header.word_size != sizeof(void*) || header.build_hash != build_hash() ||
      header.file_size != file_size || header.section_count > MAX_SECTIONS) {
    return std::nullopt;
  }
  return header;
}

// The sections listed in `head` (the header and the table, checked), by kind; empty when
// one lies outside the body or a record section is missing.
std::vector<format::Section> checked_sections(std::string_view head, const format::Header& header,
                                              std::uint64_t body) {
  std::vector<format::Section> sections(format::SECTION_KINDS);
  for (std::uint32_t i = 0; i < header.section_count; ++i) {
    const auto section =
        value_at<format::Section>(head, sizeof(format::Header) + i * sizeof(format::Section));
    if (section.offset % 8 != 0 || section.offset < head.size() || section.offset > body ||
        padded_to_8(section.size) > body - section.offset || section.kind < 1 ||
        section.kind >= format::SECTION_KINDS) {
      return {};
    }
    sections[section.kind] = section;
  }
  for (const SectionKind kind : format::RECORD_SECTIONS) {
    if (sections[static_cast<std::size_t>(kind)].kind != static_cast<std::uint32_t>(kind)) {
      return {};
    }
  }
  return sections;
}

// Reads the header and the section table of the index open as `fd`, `file_size` bytes
// long, and checks them against the checksum at its end.
std::optional<std::pair<format::Header, std::vector<format::Section>>> read_table(
    int fd, std::uint64_t file_size) {
  if (file_size < sizeof(format::Header) + sizeof(std::uint64_t)) return std::nullopt;
  std::string head(sizeof(format::Header), '\0');
  if (!text::read_exactly_at(fd, head.data(), head.size(), 0)) return std::nullopt;
  const auto header = checked_header(head, file_size);
  if (!header) return std::nullopt;
  const std::size_t table_end =
      padded_to_8(sizeof(format::Header) + header->section_count * sizeof(format::Section));
  const std::uint64_t body = file_size - sizeof(std::uint64_t);
  if (table_end > body) return std::nullopt;
  head.resize(table_end + sizeof(std::uint64_t));
  if (!text::read_exactly_at(fd, head.data() + sizeof(format::Header),
                             table_end - sizeof(format::Header), sizeof(format::Header)) ||
      !text::read_exactly_at(fd, head.data() + table_end, sizeof(std::uint64_t), body)) {
    return std::nullopt;
  }
  const std::string_view checked = std::string_view(head).substr(0, table_end);
  if (text::content_hash(checked) != value_at<std::uint64_t>(head, table_end)) return std::nullopt;
  auto sections = checked_sections(checked, *header, body);
  if (sections.empty()) return std::nullopt;
  return std::pair{*header, std::move(sections)};
}

}  // namespace

std::optional<GraphIndex> GraphIndex::open(const fs::path& index_path, int graph_fd) {
  auto fd = std::make_shared<const text::FileDescriptor>(
      ::open(index_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (fd->get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd->get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  const auto index_status = text::file_status(fd->get());
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
  for (const SectionKind kind : format::RECORD_SECTIONS) {
    if (!index.load(kind)) return std::nullopt;
  }
  return index;
}

GraphIndex::GraphIndex(std::shared_ptr<const text::FileDescriptor> fd,
                       std::unique_ptr<char[]> bytes, std::size_t size,
                       const format::Header& header, std::vector<format::Section> sections)
    : fd_(std::move(fd)),
      bytes_(std::move(bytes)),
      size_(size),
      header_(header),
      sections_(std::move(sections)),
      loaded_(sections_.size(), false) {}

bool GraphIndex::load(SectionKind kind) const {
  const format::Section& section = sections_[static_cast<std::size_t>(kind)];
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
  IndexView(std::string_view bytes, const std::vector<format::Section>& sections,
            std::uint64_t graph_size)
      : bytes_(bytes), sections_(sections), graph_size_(graph_size) {
    const format::Section& blob = sections_[static_cast<int>(SectionKind::blob)];
    blob_ = bytes.substr(blob.offset, blob.size);
  }

  template <typename Row>
  std::optional<PackedArray<Row>> rows(SectionKind kind) const {
    const format::Section& section = sections_[static_cast<int>(kind)];
    if (section.size % sizeof(Row) != 0) return std::nullopt;
    return PackedArray<Row>(bytes_.data() + section.offset, section.size / sizeof(Row));
  }

  bool in_blob(const format::TextRef& ref) const {
    return ref.offset <= blob_.size() && ref.length <= blob_.size() - ref.offset;
  }
  std::string_view text(const format::TextRef& ref) const {
    return blob_.substr(ref.offset, ref.length);
  }
  bool in_graph(const format::Span& span) const {
    return span.offset <= graph_size_ && span.length <= graph_size_ - span.offset;
  }

 private:
  std::string_view bytes_;
  const std::vector<format::Section>& sections_;
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
  TextEntries(const IndexView& view, PackedArray<format::TextEntry> rows)
      : view_(view), rows_(rows) {}

  std::size_t size() const { return rows_.size(); }
  std::optional<Entry> operator[](std::uint32_t i) const {
    if (i >= rows_.size()) return std::nullopt;
    const format::TextEntry row = rows_[i];
    if (!view_.in_blob(row.text) || !view_.in_blob(row.lower)) return std::nullopt;
    return Entry{
        view_.text(row.text),
        text::MaskedText(view_.text(row.lower), text::CharMask{row.mask_low, row.mask_high})};
  }

 private:
  const IndexView& view_;
  PackedArray<format::TextEntry> rows_;
};

bool add_nodes(const IndexView& view, const TextEntries& entries, GraphRecords& records) {
  const auto rows = view.rows<format::NodeRow>(SectionKind::nodes);
  if (!rows) return false;
  records.nodes.reserve(rows->size());
  records.node_spans.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const format::NodeRow row = (*rows)[i];
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
    node.id.present = (row.flags & format::ID_PRESENT) != 0;
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
  const auto rows = view.rows<format::EdgeRow>(SectionKind::edges);
  if (!rows) return false;
  records.edges.reserve(rows->size());
  records.edge_spans.reserve(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const format::EdgeRow row = (*rows)[i];
    const auto from = entries[row.from];
    const auto to = entries[row.to];
    const auto rel = entries[row.rel];
    if (!from || !to || !rel || !view.in_graph(row.span)) return false;
    EdgeRecord& edge = records.edges.emplace_back();
    edge.from.text = from->text;
    edge.from.present = (row.flags & format::FROM_PRESENT) != 0;
    edge.to.text = to->text;
    edge.to.present = (row.flags & format::TO_PRESENT) != 0;
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
  for (const SectionKind kind : format::RECORD_SECTIONS) {
    if (!load(kind)) return std::nullopt;  // read again when given back after a first call
  }
  const IndexView view(std::string_view(bytes_.get(), size_), sections_, header_.graph.file.size);
  const auto rows = view.rows<format::TextEntry>(SectionKind::entries);
  if (!rows) return std::nullopt;
  const TextEntries entries(view, *rows);
  GraphRecords records;
  if (!add_nodes(view, entries, records)) return std::nullopt;
  // The records view only the blob: the rows go back to the system once read out, so
  // that they are not held beside the records made from them.
  release(SectionKind::nodes);
  if (!add_edges(view, entries, records)) return std::nullopt;
  release(SectionKind::edges);
  release(SectionKind::entries);
  return records;
}

void GraphIndex::release(SectionKind kind) const {
  const format::Section& section = sections_[static_cast<std::size_t>(kind)];
  if (section.kind != static_cast<std::uint32_t>(kind) || !loaded_[section.kind]) return;
  loaded_[section.kind] = false;  // read again if asked for
  platform::release_pages(bytes_.get() + section.offset, padded_to_8(section.size));
}

std::size_t GraphIndex::node_count() const {
  return sections_[static_cast<std::size_t>(SectionKind::nodes)].size / sizeof(format::NodeRow);
}

std::size_t GraphIndex::edge_count() const {
  return sections_[static_cast<std::size_t>(SectionKind::edges)].size / sizeof(format::EdgeRow);
}

GraphIdentity GraphIndex::graph() const { return header_.graph; }

std::optional<std::string_view> GraphIndex::section(SectionKind kind) const {
  if (!load(kind)) return std::nullopt;
  const format::Section& section = sections_[static_cast<std::size_t>(kind)];
  return std::string_view(bytes_.get() + section.offset, section.size);
}

std::vector<SectionKind> GraphIndex::section_kinds() const {
  std::vector<std::pair<std::uint64_t, SectionKind>> placed;
  for (const format::Section& section : sections_) {
    if (section.kind != 0)
      placed.emplace_back(section.offset, static_cast<SectionKind>(section.kind));
  }
  std::sort(placed.begin(), placed.end());
  std::vector<SectionKind> kinds;
  for (const auto& [offset, kind] : placed) kinds.push_back(kind);
  return kinds;
}

}  // namespace plinthar::index

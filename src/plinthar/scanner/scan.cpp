#include "plinthar/scanner/scan.hpp"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/languages.hpp"
#include "plinthar/scanner/extract/relations.hpp"
#include "plinthar/scanner/extract/summary.hpp"
#include "plinthar/scanner/extract/symbols_py.hpp"
#include "plinthar/scanner/extract/symbols_ts.hpp"
#include "plinthar/scanner/ordered_work.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/short_hash.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::scanner {

namespace fs = std::filesystem;
namespace {

struct SourceFile {
  std::int64_t size = 0;
  std::string text;
};

// Reads files one after another into the same two buffers (the bytes as read and the
// decoded text), so that a scan allocates no file-sized memory per file.
class SourceReader {
 public:
  // Size test first (files above the limit are never read), then the whole file
  // decoded. The result stays valid until the next call.
  const SourceFile* read(const fs::path& path) {
    const auto size = text::read_small_file(path, MAX_FILE_BYTES, bytes_);
    if (!size) return nullptr;
    source_.size = *size;
    text::decode_text(bytes_, source_.text);
    return &source_;
  }

 private:
  std::string bytes_;
  SourceFile source_;
};

// A member of an earlier node, or `fallback` when the node lacks it.
text::Json member_or(const text::Json& old, const char* key, text::Json fallback) {
  const auto it = old.find(key);
  return it == old.end() ? std::move(fallback) : *it;
}

// The file node rebuilt from an earlier graph's node with an unchanged hash.
text::Json reused_file_node(const text::Json& old, const std::string& file_id,
                            const std::string& ext, const SourceFile& source,
                            const std::string& fhash) {
  text::Json node = text::Json::object();
  node.get_ref<text::Json::object_t&>().reserve(9);
  node["id"] = member_or(old, "id", file_id);
  node["kind"] = member_or(old, "kind", "file");
  node["path"] = member_or(old, "path", file_id);
  node["ext"] = member_or(old, "ext", ext);
  node["size"] = member_or(old, "size", source.size);
  node["keywords"] = member_or(old, "keywords", text::Json::array());
  if (old.contains("content")) {
    node["content"] = old["content"];
  } else {
    node["content"] = std::string(text::cp_prefix(source.text, MAX_CONTENT_CHARS));
  }
  node["summary"] = member_or(old, "summary", "");
  node["file_hash"] = fhash;
  return node;
}

text::Json fresh_file_node(const std::string& file_id, const std::string& ext,
                           const SourceFile& source, const std::string& fhash) {
  Node node;
  node.summary = _make_summary(source.text, file_id, ext);
  node.id = file_id;
  node.kind = "file";
  node.path = file_id;
  node.ext = ext;
  node.size = source.size;
  node.keywords = extract_keywords(source.text, ext);
  node.content = std::string(text::cp_prefix(source.text, MAX_CONTENT_CHARS));
  node.file_hash = fhash;
  return as_dict(std::move(node));
}

bool is_symbol_node(const text::Json& node) {
  const auto kind = node.find("kind");
  return kind != node.end() && kind->is_string() && kind->get_ref<const std::string&>() == "symbol";
}

}  // namespace

std::vector<SymbolRecord> _extract_symbols_for_file(std::string_view content,
                                                    std::string_view file_id,
                                                    std::string_view ext) {
  if (is_script_ext(ext)) {
    return extract_symbols_ts(content, file_id);
  }
  if (is_python_ext(ext)) return extract_symbols_py(content, file_id);
  return {};
}

namespace {

// Shared by the copying and the moving form: `Records` is a const or an rvalue
// reference to the extractor's records.
template <typename Records>
void append_symbol_nodes(std::vector<Node>& nodes, std::vector<Edge>& edges, Records&& syms,
                         std::string_view file_id, std::string_view ext) {
  using Record = std::conditional_t<std::is_const_v<std::remove_reference_t<Records>>,
                                    const SymbolRecord&, SymbolRecord&&>;
  for (auto& sym : syms) {
    Record record = static_cast<Record>(sym);
    edges.push_back(Edge{std::string(file_id), sym.id, "contains"});
    Node node;
    node.id = std::forward<Record>(record).id;
    node.kind = "symbol";
    node.path = std::string(file_id);
    node.ext = std::string(ext);
    node.size = sym.line_end - sym.line_start + 1;
    node.keywords = std::forward<Record>(record).keywords;
    node.symbol_type = std::forward<Record>(record).symbol_type;
    node.name = std::forward<Record>(record).name;
    node.line_start = sym.line_start;
    node.line_end = sym.line_end;
    node.body_hash = std::forward<Record>(record).body_hash;
    node.confidence = std::forward<Record>(record).confidence;
    node.exported = sym.exported;
    nodes.push_back(std::move(node));
  }
}

}  // namespace

void _append_symbol_nodes(std::vector<Node>& nodes, std::vector<Edge>& edges,
                          const std::vector<SymbolRecord>& syms, std::string_view file_id,
                          std::string_view ext) {
  append_symbol_nodes(nodes, edges, syms, file_id, ext);
}

void _append_symbol_nodes(std::vector<Node>& nodes, std::vector<Edge>& edges,
                          std::vector<SymbolRecord>&& syms, std::string_view file_id,
                          std::string_view ext) {
  append_symbol_nodes(nodes, edges, std::move(syms), file_id, ext);
}

struct FileScanner::Buffers {
  SourceReader reader;
};

void report_unfinished_searches(const std::string& path, const FileScan& scan) {
  for (const std::string& search : scan.unfinished_searches) {
    std::cerr << "warning: " << path << ": " << search << "\n";
  }
}

std::size_t default_scan_jobs() {
  return std::max<std::size_t>(std::thread::hardware_concurrency(), 1);
}

FileScanner::FileScanner(const fs::path& root, const ExistingNodes& existing_nodes)
    : resolved_root_(text::resolve_path(root)),
      existing_nodes_(existing_nodes),
      buffers_(std::make_unique<Buffers>()) {}

FileScanner::~FileScanner() = default;

std::optional<FileScan> FileScanner::scan(const WalkedFile& file) {
  const SourceFile* source = buffers_->reader.read(file.path);
  if (source == nullptr) return std::nullopt;
  FileScan result;
  result.file_id = relative_file_id(file.resolved, resolved_root_);
  const std::string& file_id = result.file_id;
  const std::string path_ext(file_extension(file.path));
  const std::string ext = text::to_lower(path_ext);
  const std::string fhash = text::short_hash(source->text);

  const auto old = existing_nodes_.find(file_id);
  const bool reuse = old != existing_nodes_.end() && old->second.is_object() &&
                     old->second.contains("file_hash") && old->second["file_hash"] == fhash;
  result.nodes.push_back(reuse ? reused_file_node(old->second, file_id, ext, *source, fhash)
                               : fresh_file_node(file_id, ext, *source, fhash));

  std::vector<Edge> edges = parse_relations_for(file_id, source->text, path_ext);
  if (has_symbol_extractor(ext)) {
    std::vector<Node> symbol_nodes;
    _append_symbol_nodes(symbol_nodes, edges, _extract_symbols_for_file(source->text, file_id, ext),
                         file_id, ext);
    for (Node& node : symbol_nodes) result.nodes.push_back(as_dict(std::move(node)));
  }
  result.edges = dedupe_edges(std::move(edges));
  result.unfinished_searches = text::take_unfinished_searches();
  return result;
}

namespace {

template <typename Seen>
std::function<void(const Seen&)> in_turn(std::function<void(const Seen&)> first,
                                         std::function<void(const Seen&)> second) {
  if (!first) return second;
  if (!second) return first;
  return [first = std::move(first), second = std::move(second)](const Seen& seen) {
    first(seen);
    second(seen);
  };
}

}  // namespace

ScanObserver both(ScanObserver first, ScanObserver second) {
  return {in_turn(std::move(first.on_walked), std::move(second.on_walked)),
          in_turn(std::move(first.on_directory), std::move(second.on_directory)),
          in_turn(std::move(first.on_file), std::move(second.on_file)),
          first.count_terms || second.count_terms};
}

namespace {

// One walked file as a worker left it: its status (taken before it was read) and its
// scan, or what kept it out.
struct FileRead {
  std::optional<text::FileStatus> status;
  std::optional<FileScan> scan;
  std::optional<FileTerms> terms;
  bool excluded = false;
};

// Hands what was read of each walked file on to the node visitor and the observer, in
// the walk's order, and keeps the totals.
class ScanCollector {
 public:
  ScanCollector(const NodeVisitor& on_node, const ScanObserver& observer)
      : on_node_(on_node), observer_(observer) {}

  void take(const WalkedFile& file, FileRead&& read) {
    ScannedFile seen;
    seen.walked = &file;
    seen.status = read.status;
    if (read.scan) {
      FileScan& scan = *read.scan;
      report_unfinished_searches(file.path, scan);
      seen.outcome = FileOutcome::scanned;
      seen.file_id = std::move(scan.file_id);
      seen.node_count = scan.nodes.size();
      seen.edge_count = scan.edges.size();
      if (read.terms) seen.terms = &*read.terms;
      for (text::Json& node : scan.nodes) {
        ++totals_.node_count;
        if (is_symbol_node(node)) ++totals_.symbol_count;
        on_node_(std::move(node));
      }
      edges_.insert(edges_.end(), std::make_move_iterator(scan.edges.begin()),
                    std::make_move_iterator(scan.edges.end()));
    } else if (read.excluded) {
      seen.outcome = FileOutcome::excluded;
    }
    if (observer_.on_file) observer_.on_file(seen);
  }

  ScanTotals finish() && {
    // Each file's edges come without repeats, and edges of different files differ in
    // their source, unless two walked files share an id (two links to one file).
    totals_.edges = dedupe_edges(std::move(edges_));
    return std::move(totals_);
  }

 private:
  const NodeVisitor& on_node_;
  const ScanObserver& observer_;
  ScanTotals totals_;
  std::vector<Edge> edges_;
};

// What one thread reads and counts files with, its buffers kept from file to file.
struct FileReader {
  FileReader(const fs::path& root, const ExistingNodes& existing_nodes)
      : scanner(root, existing_nodes) {}
  FileScanner scanner;
  text::WordSplitter splitter;
};

// Files a worker runs ahead of the one written last, per worker: enough to keep the
// workers busy past a large file, few enough to hold little.
constexpr std::size_t FILES_AHEAD_PER_JOB = 64;

}  // namespace

ScanTotals scan_nodes(const fs::path& root, const ExistingNodes& existing_nodes,
                      const ScanScope& scope, const NodeVisitor& on_node,
                      const ScanObserver& observer, std::size_t jobs) {
  const ScopeTest scope_test(scope, root);
  const WalkedTree tree = walk_tree(root);
  if (observer.on_walked) observer.on_walked(tree);
  if (observer.on_directory) {
    for (const WalkedDirectory& directory : tree.directories) observer.on_directory(directory);
  }
  const auto read = [&](FileReader& reader, const WalkedFile& file) {
    FileRead done;
    if (observer.on_file) done.status = text::file_status(file.path);
    done.excluded = scope_test.leaves_out(file.resolved);
    if (!done.excluded) done.scan = reader.scanner.scan(file);
    if (done.scan && observer.count_terms) {
      done.terms = count_file_terms(done.scan->nodes, reader.splitter);
    }
    return done;
  };
  ScanCollector collector(on_node, observer);
  jobs = std::min(jobs, tree.files.size());
  if (jobs <= 1) {
    FileReader reader(root, existing_nodes);
    for (const WalkedFile& file : tree.files) collector.take(file, read(reader, file));
    return std::move(collector).finish();
  }
  std::vector<std::unique_ptr<FileReader>> readers;
  for (std::size_t job = 0; job < jobs; ++job) {
    readers.push_back(std::make_unique<FileReader>(root, existing_nodes));
  }
  in_order<FileRead>(
      tree.files.size(), jobs, jobs * FILES_AHEAD_PER_JOB,
      [&](std::size_t job, std::size_t item) { return read(*readers[job], tree.files[item]); },
      [&](std::size_t item, FileRead&& done) {
        collector.take(tree.files[item], std::move(done));
      });
  return std::move(collector).finish();
}

text::Json scan(const fs::path& root, const ExistingNodes& existing_nodes, const ScanScope& scope) {
  text::Json nodes = text::Json::array();
  ScanTotals totals = scan_nodes(root, existing_nodes, scope,
                                 [&nodes](text::Json&& node) { nodes.push_back(std::move(node)); });
  text::Json edge_list = text::Json::array();
  edge_list.get_ref<text::Json::array_t&>().reserve(totals.edges.size());
  for (Edge& edge : totals.edges) edge_list.push_back(to_json(std::move(edge)));

  text::Json graph = text::Json::object();
  graph["root"] = root.string();
  graph["node_count"] = nodes.size();
  graph["edge_count"] = totals.edges.size();
  graph["file_count"] = totals.node_count - totals.symbol_count;
  graph["symbol_count"] = totals.symbol_count;
  graph["nodes"] = std::move(nodes);
  graph["edges"] = std::move(edge_list);
  return graph;
}

}  // namespace plinthar::scanner

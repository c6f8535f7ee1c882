#pragma once

// The scan driver: discovery, reading, extraction and the graph map.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/scan_scope.hpp"
#include "plinthar/scanner/stats/file_terms.hpp"
#include "plinthar/text/file_status.hpp"

namespace plinthar::scanner {

constexpr std::int64_t MAX_FILE_BYTES = 300000;
constexpr std::size_t MAX_CONTENT_CHARS = 24000;

// File nodes of an earlier graph, by file id, in their serialised form.
using ExistingNodes = std::unordered_map<std::string, Json>;

// Builds the graph map of the project under `root`. A file whose id is in
// `existing_nodes` with the same "file_hash" keeps that node's keywords, content and
// summary. Files that `scope` leaves out are left out. Unreadable and oversized files
// are skipped.
Json scan(const std::filesystem::path& root, const ExistingNodes& existing_nodes = {},
          const ScanScope& scope = {});

// What a scan found besides its nodes.
struct ScanTotals {
  std::vector<Edge> edges;  // without repeats, in the order found
  std::int64_t node_count = 0;
  std::int64_t symbol_count = 0;  // nodes whose "kind" is "symbol"
};

// Receives each node of a scan, in graph order.
using NodeVisitor = std::function<void(Json&&)>;

// What became of a file the walk found.
enum class FileOutcome : std::uint32_t { scanned = 0, skipped = 1, excluded = 2 };

// One walked file as a scan saw it: its status taken before it was read, what became of
// it, and for a scanned file its id and how many nodes (its file node, then its symbols)
// and edges (without repeats) it gave.
struct ScannedFile {
  const WalkedFile* walked = nullptr;
  std::optional<text::FileStatus> status;
  FileOutcome outcome = FileOutcome::skipped;
  std::string file_id;
  std::size_t node_count = 0;
  std::size_t edge_count = 0;
  // Its nodes' term counts, when the observer asked for them; the observer may take them.
  FileTerms* terms = nullptr;
};

// Sees what a scan walked: every directory it listed, then each file, after the file's
// nodes went to the node visitor.
struct ScanObserver {
  std::function<void(const WalkedTree&)> on_walked;  // once, before any file is read
  std::function<void(const WalkedDirectory&)> on_directory;
  std::function<void(const ScannedFile&)> on_file;
  // Whether on_file is to see each scanned file's term counts, which are then made in
  // the thread that read the file.
  bool count_terms = false;
};

// Both observers see everything, `first` before `second`.
ScanObserver both(ScanObserver first, ScanObserver second);

// Scans as `scan` does, but hands each node to `on_node` instead of keeping it, so that
// a caller writing the graph out never holds all of it. With `jobs` above 1, that many
// threads read and extract the files; nodes, edges and what `observer` sees still come
// in the walk's order, so that the result is the same for any number of jobs.
ScanTotals scan_nodes(const std::filesystem::path& root, const ExistingNodes& existing_nodes,
                      const ScanScope& scope, const NodeVisitor& on_node,
                      const ScanObserver& observer = {}, std::size_t jobs = 1);

// The nodes (file node first, then its symbols) and the edges (without repeats) of one
// file.
struct FileScan {
  std::string file_id;
  std::vector<Json> nodes;
  std::vector<Edge> edges;
  std::vector<std::string> unfinished_searches;  // searches over its text cut short
};

// Names `path` on standard error for each search over its text that could not finish:
// its nodes lack what those searches would have found further on.
void report_unfinished_searches(const std::string& path, const FileScan& scan);

// The threads a scan reads files on when not told: one per core.
std::size_t default_scan_jobs();

// Scans single files of the tree under one root exactly as a scan of the whole tree
// does, reusing its read buffers from file to file.
class FileScanner {
 public:
  FileScanner(const std::filesystem::path& root, const ExistingNodes& existing_nodes);
  ~FileScanner();
  FileScanner(const FileScanner&) = delete;
  FileScanner& operator=(const FileScanner&) = delete;

  // The scan of `file`, or nothing when it is skipped (unreadable, too large, not a
  // regular file).
  std::optional<FileScan> scan(const WalkedFile& file);

 private:
  struct Buffers;
  std::filesystem::path resolved_root_;
  const ExistingNodes& existing_nodes_;
  std::unique_ptr<Buffers> buffers_;
};

// Symbol records for a file of lower-cased extension `ext`; none for other extensions.
std::vector<SymbolRecord> _extract_symbols_for_file(std::string_view content,
                                                    std::string_view file_id, std::string_view ext);

// Appends a symbol node and a "contains" edge for every record.
void _append_symbol_nodes(std::vector<Node>& nodes, std::vector<Edge>& edges,
                          const std::vector<SymbolRecord>& syms, std::string_view file_id,
                          std::string_view ext);
// The same, taking the records' strings instead of copying them.
void _append_symbol_nodes(std::vector<Node>& nodes, std::vector<Edge>& edges,
                          std::vector<SymbolRecord>&& syms, std::string_view file_id,
                          std::string_view ext);

}  // namespace plinthar::scanner

// One scanned file, from its bytes to crv's reading of the graph: the input is a byte
// that picks the extension, a file name up to the first line feed, and the file's
// bytes. Keywords, summary, relations and symbols must keep their promises, the
// linear-time relation passes must report what their plain patterns report, and the
// graph written for the file must be read by crv's fast record reader exactly as the
// general parser reads it.

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <simdjson.h>

#include "fuzz_target.hpp"
#include "records_dump.hpp"
#include "pattern_spans.hpp"
#include "plinthar/error.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/query/rank/retrieval.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/languages.hpp"
#include "plinthar/scanner/extract/relations.hpp"
#include "plinthar/scanner/extract/summary.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/short_hash.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"
#include "symbol_checks.hpp"

namespace {

using namespace plinthar;

constexpr std::string_view EXTENSIONS[] = {".go",    ".py",   ".js",   ".jsx", ".ts", ".tsx",
                                           ".swift", ".json", ".yaml", ".yml", ".md"};

// Texts longer than this skip the comparison with the plain patterns, which backtrack.
constexpr std::size_t MAX_COMPARED_BYTES = 8192;

struct PlainPass {
  int pass;
  const char* pattern;
  unsigned flags;
};

constexpr PlainPass PLAIN_PASSES[] = {
    {1, R"re(import\s+\(?\s*"([^"]+)")re", text::NOFLAG},
    {2, R"re(import\s+.*?\s+from\s+[\'"]([^\'"]+)[\'"])re", text::NOFLAG},
    {3, R"re(require\([\'"]([^\'"]+)[\'"]\))re", text::NOFLAG},
    {4, R"(^\s*import\s+([a-zA-Z0-9_\.]+))", text::MULTILINE},
    {5, R"(^\s*from\s+([a-zA-Z0-9_\.]+)\s+import\s+)", text::MULTILINE},
    {6, R"(^import\s+([A-Za-z_]\w*))", text::MULTILINE},
    {7, R"(([A-Za-z0-9_\-\/]+\.(go|py|tsx|ts|jsx|json|js|swift|md|yaml|yml)))", text::NOFLAG},
};

void compare_relation_passes(std::string_view text) {
  static const auto patterns = [] {
    std::vector<std::unique_ptr<text::Regex>> compiled;
    for (const PlainPass& plain : PLAIN_PASSES) {
      compiled.push_back(std::make_unique<text::Regex>(plain.pattern, plain.flags));
    }
    return compiled;
  }();
  if (text.size() > MAX_COMPARED_BYTES) return;
  for (std::size_t i = 0; i < std::size(PLAIN_PASSES); ++i) {
    FUZZ_CHECK(fuzz::spans_of(text, scanner::relation_pass_matches(PLAIN_PASSES[i].pass, text)) ==
               fuzz::plain_spans(*patterns[i], text));
  }
}

void check_keywords(const std::vector<std::string>& keywords) {
  FUZZ_CHECK(keywords.size() <= 80);
  std::set<std::string> seen;
  for (const std::string& keyword : keywords) {
    FUZZ_CHECK(seen.insert(keyword).second);
    FUZZ_CHECK(text::cp_length(keyword) >= 3);
    FUZZ_CHECK(keyword.front() != '_' && keyword.back() != '_');
    FUZZ_CHECK(text::to_lower(keyword) == keyword);
  }
}

// The graph the scanner writes for this one file, as scan_nodes builds it.
std::string graph_of_file(std::string_view file_id, std::string_view ext, std::string_view path_ext,
                          const std::string& text, std::int64_t size) {
  scanner::Node node;
  node.id = node.path = std::string(file_id);
  node.kind = "file";
  node.ext = std::string(ext);
  node.size = size;
  node.keywords = scanner::extract_keywords(text, ext);
  check_keywords(node.keywords);
  node.summary = scanner::_make_summary(text, file_id, ext);
  FUZZ_CHECK(text::cp_length(node.summary) <= 250);
  node.content = std::string(text::cp_prefix(text, scanner::MAX_CONTENT_CHARS));
  node.file_hash = text::short_hash(text);

  std::vector<scanner::Edge> edges = scanner::parse_relations_for(file_id, text, path_ext);
  for (const scanner::Edge& edge : edges) {
    FUZZ_CHECK(edge.from == file_id);
    FUZZ_CHECK(edge.rel == "imports" || edge.rel == "requires" || edge.rel == "references");
  }
  std::vector<scanner::Node> symbol_nodes;
  if (scanner::has_symbol_extractor(ext)) {
    auto symbols = scanner::_extract_symbols_for_file(text, file_id, ext);
    fuzz::check_symbols(symbols, file_id);
    scanner::_append_symbol_nodes(symbol_nodes, edges, std::move(symbols), file_id, ext);
  }
  scanner::GraphText graph;
  graph.add_node(scanner::as_dict(node));
  for (const scanner::Node& symbol : symbol_nodes) graph.add_node(scanner::as_dict(symbol));
  std::string written;
  graph.write("/srv/project", static_cast<std::int64_t>(symbol_nodes.size()),
              scanner::dedupe_edges(std::move(edges)),
              [&written](std::string_view piece) { written += piece; });
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view path_ext = EXTENSIONS[data[0] % std::size(EXTENSIONS)];
  const std::string_view input = fuzz::as_text(data + 1, size - 1);
  const std::size_t line_end = std::min(input.find('\n'), input.size());
  std::string name(input.substr(0, line_end));
  std::replace(name.begin(), name.end(), '\0', '_');
  const std::string_view bytes = input.substr(std::min(line_end + 1, input.size()));
  const std::string file_id = "src/" + name + std::string(path_ext);

  const std::string text = text::decode_text(bytes);
  compare_relation_passes(text);
  const std::string written = graph_of_file(file_id, text::to_lower(path_ext), path_ext, text,
                                            static_cast<std::int64_t>(bytes.size()));

  // crv must read every graph the scanner writes, and its fast reader must answer.
  const text::Json graph = query::parse_graph(written, "info_graph.json");
  const std::string general = plinthar::testing::records_dump(query::records_of(graph));
  const simdjson::padded_string padded(written);
  const auto records = query::read_graph_records(padded);
  FUZZ_CHECK(records.has_value());
  FUZZ_CHECK(plinthar::testing::records_dump(*records) == general);
  query::retrieve(*records, "fix " + name, 12, 20, "/nonexistent/plinthar-fuzz/index.md");
  return 0;
}

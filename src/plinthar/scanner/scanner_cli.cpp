#include "plinthar/scanner/scanner_cli.hpp"

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "plinthar/scanner/error.hpp"
#include "plinthar/scanner/file_io.hpp"
#include "plinthar/scanner/graph.hpp"
#include "plinthar/scanner/graph_text.hpp"
#include "plinthar/scanner/heap_tuning.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/symbol_index.hpp"
#include "plinthar/scanner/text.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

struct Options {
  std::string root = ".";
  std::string out = "corvel-dashboard/data/info_graph.json";
};

// Whether the member `key` of a node is one that reuse reads.
bool reused_member(std::string_view key) {
  static constexpr std::string_view MEMBERS[] = {
      "id", "kind", "path", "ext", "size", "keywords", "content", "summary", "file_hash"};
  return std::find(std::begin(MEMBERS), std::end(MEMBERS), key) != std::end(MEMBERS);
}

// The file nodes of the graph at `out`, keyed by id; empty when the file is missing or
// is not a readable graph (the scan is then a full one). The whole text is still parsed
// (a malformed graph anywhere means a full scan), but the parser keeps only what reuse
// reads: no edges, no symbol nodes, no members other than those of file nodes.
ExistingNodes load_existing_nodes(const fs::path& out) {
  ExistingNodes nodes;
  const auto bytes = read_file(out);
  if (!bytes || !is_valid_utf8(*bytes)) return {};
  const Json::parser_callback_t keep = [](int depth, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    if (event == Event::key && depth == 1) return parsed == "nodes";
    if (event == Event::key && depth == 3) return reused_member(parsed.get_ref<std::string&>());
    if (event == Event::object_end && depth == 2) return parsed.value("kind", Json()) == "file";
    return true;
  };
  try {
    Json graph = Json::parse(*bytes, keep);
    if (!graph.is_object()) return {};
    const auto list = graph.find("nodes");
    if (list == graph.end()) return {};
    for (Json& node : *list) {
      if (!node.is_object() || node.value("kind", Json()) != "file") continue;
      // The id is read first: the assignment takes its value before its target.
      std::string id = node.at("id").get<std::string>();
      nodes[std::move(id)] = std::move(node);
    }
  } catch (const std::exception&) {
    return {};
  }
  return nodes;
}

// `path` without repeated "/" and "." components or a trailing "/"; ".." is kept.
std::string normalised(const fs::path& path) {
  std::string out;
  const bool absolute = path.is_absolute();
  for (const auto& component : path.relative_path()) {
    const std::string part = component.string();
    if (part.empty() || part == ".") continue;
    if (!out.empty()) out.push_back('/');
    out += part;
  }
  if (absolute) return "/" + out;
  return out.empty() ? "." : out;
}

int run(const Options& options, std::ostream& out) {
  tune_heap_for_large_graph(default_heap_reserve());
  const fs::path root = resolve_path(options.root);
  const fs::path out_path = options.out;
  create_parent_directories(out_path);
  const fs::path index_path = out_path.parent_path() / "symbol_index.json";

  // Each node goes into the graph text and the symbol index as soon as it is found, so
  // the graph is never held in memory as a whole.
  GraphText graph;
  SymbolIndex index;
  const ScanTotals totals =
      scan_nodes(root, load_existing_nodes(out_path), {out_path, index_path}, [&](Json&& node) {
        graph.add_node(node);
        index.add(node);
      });
  write_file_atomically(out_path, [&](const TextSink& emit) {
    graph.write(root.string(), totals.symbol_count, totals.edges, emit);
  });
  std::string index_text;
  index.write(index_text);
  write_file_atomically(index_path, index_text);

  out << "Scanned: " << totals.node_count - totals.symbol_count << " files, " << totals.symbol_count
      << " symbols, " << totals.edges.size() << " edges\n";
  out << "Wrote: " << normalised(out_path) << "\n";
  out << "Symbol index: " << normalised(index_path) << " (" << index.size() << " symbols)\n";
  return STATUS_OK;
}

}  // namespace

int mapforge_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Scan project and build information graph JSON.", "mapforge"};
  Options options;
  app.add_option("--root", options.root, "Project root to scan.")->default_str(".");
  app.add_option("--out", options.out, "Output JSON path.")
      ->default_str("corvel-dashboard/data/info_graph.json");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return STATUS_OK;
  } catch (const CLI::ParseError& error) {
    err << "usage: mapforge [-h] [--root ROOT] [--out OUT]\n"
        << "mapforge: error: " << error.what() << "\n";
    return STATUS_USAGE;
  }
  try {
    return run(options, out);
  } catch (const std::exception& error) {
    err << "mapforge: error: " << error.what() << "\n";
    return STATUS_FAILURE;
  }
}

}  // namespace plinthar::scanner

#include "plinthar/scanner/mapforge_cli.hpp"

#include <ostream>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "plinthar/error.hpp"
#include "plinthar/platform/heap_tuning.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/scanner/previous_graph.hpp"
#include "plinthar/scanner/refresh/refresh.hpp"
#include "plinthar/scanner/symbol_index.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/version.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

struct Options {
  std::string root = ".";
  std::string out = "corvel-dashboard/data/info_graph.json";
  std::size_t jobs = default_scan_jobs();
};

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

// What the report says of a graph.
struct GraphCounts {
  std::int64_t nodes = 0;
  std::int64_t symbols = 0;
  std::size_t edges = 0;
  std::size_t indexed_symbols = 0;  // members of the symbol index
};

void write_symbol_index(const SymbolIndex& symbols, const fs::path& symbol_index_path) {
  std::string json;
  symbols.write(json);
  text::write_file_atomically(symbol_index_path, json);
}

// A rescan that reads only the files changed since the previous graph, when that graph's
// graph index holds a snapshot of this root; nothing otherwise.
std::optional<GraphCounts> rescan_changed_files(const fs::path& root, const fs::path& out_path,
                                                const fs::path& symbol_index_path) {
  std::error_code error;
  if (!fs::exists(out_path, error) || !fs::exists(symbol_index_path, error)) return std::nullopt;
  SymbolIndex symbols;
  const auto refreshed =
      refresh_graph_file(out_path, {out_path, symbol_index_path}, RefreshMode::keep_analysis, root,
                         [&symbols](const Json& node) { symbols.add(node); });
  if (!refreshed) return std::nullopt;
  GraphCounts counts{refreshed->node_count, refreshed->symbol_count,
                     static_cast<std::size_t>(refreshed->edge_count), symbols.size()};
  if (refreshed->rewritten) {
    write_symbol_index(symbols, symbol_index_path);
  } else {
    // The graph and the symbol index beside it stand as the last run wrote them; symbol
    // ids are distinct, since file ids are.
    counts.indexed_symbols = static_cast<std::size_t>(refreshed->symbol_count);
  }
  return counts;
}

GraphCounts scan_whole_tree(const fs::path& root, const fs::path& out_path,
                            const fs::path& symbol_index_path, std::size_t jobs) {
  SymbolIndex symbols;
  const ScanTotals totals = write_graph_file(
      root, out_path, load_previous_file_nodes(out_path), {out_path, symbol_index_path},
      [&symbols](const Json& node) { symbols.add(node); }, {}, jobs);
  write_symbol_index(symbols, symbol_index_path);
  return {totals.node_count, totals.symbol_count, totals.edges.size(), symbols.size()};
}

int run(const Options& options, std::ostream& out) {
  platform::tune_heap_for_large_graph();
  const fs::path root = text::resolve_path(options.root);
  require_scan_root(root);
  const fs::path out_path = options.out;
  text::create_parent_directories(out_path);
  const fs::path symbol_index_path = out_path.parent_path() / "symbol_index.json";

  auto counts = rescan_changed_files(root, out_path, symbol_index_path);
  if (!counts) counts = scan_whole_tree(root, out_path, symbol_index_path, options.jobs);

  out << "Scanned: " << counts->nodes - counts->symbols << " files, " << counts->symbols
      << " symbols, " << counts->edges << " edges\n";
  // Paths are printed on one line of valid UTF-8, whatever bytes the name holds.
  out << "Wrote: " << text::one_line(normalised(out_path)) << "\n";
  out << "Symbol index: " << text::one_line(normalised(symbol_index_path)) << " ("
      << counts->indexed_symbols << " symbols)\n";
  return STATUS_OK;
}

void declare(CLI::App& app, Options& options) {
  app.set_version_flag("--version", "mapforge " + std::string(VERSION));
  app.add_option("--root", options.root, "Project root to scan.")->default_str(".");
  app.add_option("--out", options.out, "Output JSON path.")
      ->default_str("corvel-dashboard/data/info_graph.json");
  app.add_option("--jobs", options.jobs, "Threads that read the files (default: one per core).")
      ->check(CLI::PositiveNumber)
      ->default_str(std::to_string(options.jobs));
}

}  // namespace

void visit_mapforge_grammar(const std::function<void(const CLI::App&)>& visit) {
  CLI::App app{"Scan project and build information graph JSON.", "mapforge"};
  Options options;
  declare(app, options);
  visit(app);
}

int mapforge_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Scan project and build information graph JSON.", "mapforge"};
  Options options;
  declare(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << "\n";
    return STATUS_OK;
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return STATUS_OK;
  } catch (const CLI::ParseError& error) {
    err << "usage: mapforge [-h] [--version] [--root ROOT] [--out OUT]\n"
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

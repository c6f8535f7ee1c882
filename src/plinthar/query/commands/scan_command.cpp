#include "plinthar/query/commands/scan_command.hpp"

#include <optional>
#include <ostream>

#include "plinthar/error.hpp"
#include "plinthar/query/commands/scan_progress.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

int cmd_scan(const ScanOptions& options, const Locations& locations, const Streams& streams) {
  const fs::path root =
      text::resolve_path(options.root.empty() ? fs::path(".") : fs::path(options.root));
  const fs::path out_path =
      options.out.empty() ? locations.graph_json : text::resolve_path(options.out);
  ensure_data_dir(locations);
  // Neither the graph written here nor the default graph file ever feeds the scan; the
  // project of an installed crv is scanned without what its links lead to outside it.
  const scanner::ScanScope scope({out_path, locations.graph_json}, locations.graph_of_default_root);
  std::optional<ScanProgress> progress;
  if (options.progress) progress.emplace(streams.err);
  const scanner::ScanTotals totals = scanner::write_graph_file(
      root, out_path, {}, scope, {}, progress ? progress->observer() : scanner::ScanObserver{},
      options.jobs,
      options.term_stats ? scanner::TermStatsChoice::built
                         : scanner::TermStatsChoice::left_to_ranking);
  progress.reset();
  streams.out << "Scanned: " << totals.node_count << " nodes, " << totals.edges.size() << " edges\n"
              << "Wrote: " << text::one_line(out_path.string()) << "\n";
  return STATUS_OK;
}

}  // namespace plinthar::query

#include "plinthar/query/scan_command.hpp"

#include <ostream>

#include "plinthar/query/graph_loading.hpp"
#include "plinthar/scanner/error.hpp"
#include "plinthar/scanner/graph.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

int cmd_scan(const Args& args, const Locations& locations, std::ostream& out, std::ostream&) {
  const fs::path root =
      scanner::resolve_path(args.root.empty() ? fs::path(".") : fs::path(args.root));
  const fs::path out_path =
      args.out.empty() ? locations.graph_json : scanner::resolve_path(args.out);
  const Json graph = scan_project(root, out_path, locations);
  ensure_data_dir(locations);
  write_graph(graph, out_path);
  out << "Scanned: " << scanner::to_compact(graph["node_count"]) << " nodes, "
      << scanner::to_compact(graph["edge_count"]) << " edges\n"
      << "Wrote: " << out_path.string() << "\n";
  return STATUS_OK;
}

}  // namespace plinthar::query

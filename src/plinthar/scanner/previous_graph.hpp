#pragma once

// The previous graph of a rescan, read for the file nodes whose analysis can be reused.

#include <filesystem>
#include <string_view>

#include "plinthar/scanner/scan.hpp"

namespace plinthar::scanner {

// The file nodes of the graph at `out`, keyed by id; empty when the file is missing or
// is not a readable graph (the scan is then a full one). The whole text is still parsed
// (a malformed graph anywhere means a full scan), but the parser keeps only what reuse
// reads: no edges, no symbol nodes, no members other than those of file nodes.
ExistingNodes load_previous_file_nodes(const std::filesystem::path& out);

// The same for a graph file whose content is `bytes`.
ExistingNodes previous_file_nodes(std::string_view bytes);

}  // namespace plinthar::scanner

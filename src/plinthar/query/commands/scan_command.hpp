#pragma once

// `crv scan`: a full rescan of a project root written to the graph file.

#include <string>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"

namespace plinthar::query {

struct ScanOptions {
  std::string root;       // "" is the working directory
  std::string out;        // "" is the default graph file
  bool progress = false;  // a progress line on streams.err while the files are read
  std::size_t jobs = 1;   // threads that read the files
  // Whether the index also gets the term statistics that the hybrid ranking (the hooks'
  // ranking) reads, counted as the files are read, so that its first call need not build
  // them from the whole graph text.
  bool term_stats = false;
};

// Scans `options.root` (resolved), writes the graph to `options.out` (resolved),
// creates the data directory in any case and prints the two report lines. Throws
// plinthar::Error when the graph cannot be written; nothing is printed then.
int cmd_scan(const ScanOptions& options, const Locations& locations, const Streams& streams);

}  // namespace plinthar::query

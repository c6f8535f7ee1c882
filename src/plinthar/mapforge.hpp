#pragma once

// Public interface of the scanner library: `scan`, the graph records and the two JSON
// forms in which the graph is stored.

#include "plinthar/scanner/graph.hpp"     // IWYU pragma: export
#include "plinthar/scanner/scan.hpp"      // IWYU pragma: export
#include "plinthar/text/json_writer.hpp"  // IWYU pragma: export

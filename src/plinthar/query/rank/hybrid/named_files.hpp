#pragma once

// Files a task names: by a path (`src/locale/ar-ly.js`, a traceback's `File "x/y.py"`), a
// file name (`ar-ly`, `utils.js`) or a dotted module (`astroid.brain.brain_numpy`). The
// task gives keys, a file answers to the keys of its path; both are lower-cased ASCII.

#include <string>
#include <string_view>
#include <vector>

#include "plinthar/index/records.hpp"
#include "plinthar/index/term_stats.hpp"

namespace plinthar::query::hybrid {

// The keys `text` names, sorted and distinct: of a path, its component suffixes of two
// to NAMED_MAX_COMPONENTS components, each also without a module extension; a dotted
// module read as a path; a single word that reads as a name (a mark, digit or capital
// inside) or stands in a code span, with and without a module extension. Linear in the
// text's length.
std::vector<std::string> named_path_keys(std::string_view text);

// Per file of `stats`, 1 when one of its keys (every component suffix of its path, of its
// path without extension and, for an index or __init__ file, of its directory) is among
// `keys` and that key fits at most NAMED_MAX_FILES files.
std::vector<char> named_files(const index::GraphRecords& graph, const index::TermStats& stats,
                              const std::vector<std::string>& keys);

}  // namespace plinthar::query::hybrid

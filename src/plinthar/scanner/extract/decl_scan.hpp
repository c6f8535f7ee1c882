#pragma once

// Linear-time scanners for three declaration patterns of the keyword extractor that a
// backtracking engine handles badly on hostile text: a Go receiver that never closes
// makes every later "func" line rescan the rest of the file, and long runs of Swift
// modifiers (over one line or many) rescan the run from every line start and exhaust
// the JIT stack, which would silently end the search. Each scanner reports exactly the
// matches, in order, of the pattern named on it (MULTILINE, no other flag).

#include <cstddef>
#include <functional>
#include <string_view>

namespace plinthar::scanner {

// One match: where it starts in the text and its group 1 (a view into the text; the
// match ends where the name ends).
struct DeclMatch {
  std::size_t start = 0;
  std::string_view name;
};

// Returns false to stop the scan.
using DeclVisitor = std::function<bool(const DeclMatch&)>;

// ^func\s+(?:\([^)]+\)\s+)?([A-Z]\w*)
void for_each_go_func(std::string_view text, const DeclVisitor& visit);

// ^(?:public\s+|private\s+|internal\s+|open\s+|final\s+)*(?:class|struct|enum|protocol|actor|extension)\s+([A-Za-z_]\w*)
void for_each_swift_type(std::string_view text, const DeclVisitor& visit);

// ^(?:\s*)(?:public\s+|private\s+|internal\s+|open\s+|static\s+|class\s+|mutating\s+|override\s+)*func\s+([A-Za-z_]\w*)
void for_each_swift_func(std::string_view text, const DeclVisitor& visit);

}  // namespace plinthar::scanner

#include "plinthar/scanner/symbols_py.hpp"

namespace plinthar::scanner {

std::vector<SymbolRecord> extract_symbols_py(std::string_view, std::string_view) { return {}; }

}  // namespace plinthar::scanner

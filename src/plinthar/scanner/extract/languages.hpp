#pragma once

// What the extractors know of a file from its lower-cased extension.

#include <string_view>

namespace plinthar::scanner {

// TypeScript and JavaScript, with their JSX variants.
constexpr bool is_script_ext(std::string_view ext) {
  return ext == ".ts" || ext == ".tsx" || ext == ".js" || ext == ".jsx";
}

constexpr bool is_python_ext(std::string_view ext) { return ext == ".py"; }

// Files whose symbols an extractor finds: scripts and Python.
constexpr bool has_symbol_extractor(std::string_view ext) {
  return is_script_ext(ext) || is_python_ext(ext);
}

}  // namespace plinthar::scanner

#include "plinthar/scanner/extract/path_mentions.hpp"

// A match is a run of name characters, a ".", and the first listed extension that the
// text after the "." starts with (nothing needs to follow it, so "a.pyc" mentions
// "a.py"). A run is only ever tried whole: any later start inside it reaches the same
// "." and fails the same way. So the scan looks at each "." instead of at each start:
// when an extension follows and a name character precedes it, the match runs back to
// the start of that run of name characters, but never before the end of the previous
// match, where the search resumed.

#include <array>

namespace plinthar::scanner {
namespace {

// In the order the alternation tries them: the first that fits wins.
constexpr std::array<std::string_view, 11> EXTENSIONS = {
    "go", "py", "tsx", "ts", "jsx", "json", "js", "swift", "md", "yaml", "yml"};

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '/';
}

// Length of the first extension that `rest` starts with, or 0.
std::size_t extension_length(std::string_view rest) {
  for (std::string_view ext : EXTENSIONS) {
    if (rest.starts_with(ext)) return ext.size();
  }
  return 0;
}

}  // namespace

std::vector<TextMatch> find_path_mentions(std::string_view text) {
  std::vector<TextMatch> matches;
  std::size_t floor = 0;  // end of the previous match
  for (std::size_t dot = text.find('.'); dot != std::string_view::npos;
       dot = text.find('.', dot + 1)) {
    if (dot == floor || !is_name_char(text[dot - 1])) continue;
    const std::size_t ext = extension_length(text.substr(dot + 1));
    if (ext == 0) continue;
    std::size_t start = dot - 1;
    while (start > floor && is_name_char(text[start - 1])) --start;
    const std::size_t end = dot + 1 + ext;
    matches.push_back({start, end, text.substr(start, end - start)});
    floor = end;
    dot = end - 1;
  }
  return matches;
}

}  // namespace plinthar::scanner

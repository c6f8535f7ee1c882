#include "plinthar/query/rank/hybrid/named_files.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/rank/hybrid/constants.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/stats/file_facts.hpp"
#include "plinthar/text/ascii.hpp"

namespace plinthar::query::hybrid {

namespace {

// Extensions an import or a mention may leave out (./util.js also names util.ts).
constexpr std::array<std::string_view, 11> MODULE_EXTS = {
    ".ts", ".tsx", ".js", ".jsx", ".py", ".go", ".swift", ".json", ".md", ".yaml", ".yml"};

bool is_word_char(unsigned char c) {
  return text::is_ascii_upper(c) || text::is_ascii_lower(c) || text::is_ascii_digit(c) ||
         c == '_' || c == '$';
}

bool is_name_char(unsigned char c) { return is_word_char(c) || c == '.' || c == '/' || c == '-'; }

void lower_into(std::string_view text, std::string& out) {
  out.assign(text);
  text::lower_ascii_in_place(out);
}

std::string ascii_lowered(std::string_view text) {
  std::string out;
  lower_into(text, out);
  return out;
}

// `key` without its extension when a module may leave that extension out.
std::string_view module_head(std::string_view key) {
  const std::string ext = ascii_lowered(scanner::file_extension(key));
  const bool module = std::find(MODULE_EXTS.begin(), MODULE_EXTS.end(), ext) != MODULE_EXTS.end();
  return module ? key.substr(0, key.size() - ext.size()) : key;
}

// Calls `visit(token)` for every name token: a letter, digit, "_" or "$", then those and
// ".", "/" and "-", without its trailing ".", "/" and "-".
template <typename Visit>
void for_each_token(std::string_view text, Visit&& visit) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!is_word_char(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    while (end < text.size() && is_name_char(static_cast<unsigned char>(text[end]))) ++end;
    std::string_view token = text.substr(i, end - i);
    while (!token.empty() && (token.back() == '.' || token.back() == '/' || token.back() == '-')) {
      token.remove_suffix(1);
    }
    visit(token);
    i = end;
  }
}

// Calls `visit(span)` for the text inside every pair of backticks on one line.
template <typename Visit>
void for_each_code_span(std::string_view text, Visit&& visit) {
  std::size_t i = text.find('`');
  while (i != std::string_view::npos) {
    std::size_t end = i + 1;
    while (end < text.size() && text[end] != '`' && text[end] != '\n') ++end;
    if (end < text.size() && text[end] == '`' && end > i + 1) {
      visit(text.substr(i + 1, end - i - 1));
      i = text.find('`', end + 1);
    } else {
      i = text.find('`', end);
    }
  }
}

bool is_identifier(std::string_view part) {
  if (part.empty() || text::is_ascii_digit(static_cast<unsigned char>(part[0]))) return false;
  return std::all_of(part.begin(), part.end(),
                     [](char c) { return is_word_char(static_cast<unsigned char>(c)); });
}

// A dotted module: two or more dots between identifiers.
bool is_dotted_module(std::string_view token) {
  if (std::count(token.begin(), token.end(), '.') < 2) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = token.find('.', start);
    const std::string_view part = token.substr(start, dot - start);
    if (!is_identifier(part)) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

// A single word that reads as a name rather than prose.
bool is_name_like(std::string_view token) {
  if (token.find_first_of("-_.$") != std::string_view::npos) return true;
  return std::any_of(token.begin() + 1, token.end(), [](char c) {
    return text::is_ascii_digit(static_cast<unsigned char>(c)) ||
           text::is_ascii_upper(static_cast<unsigned char>(c));
  });
}

void add_key(std::vector<std::string>& keys, std::string_view key) {
  keys.emplace_back(key);
  keys.emplace_back(module_head(key));
}

void add_path_keys(std::vector<std::string>& keys, std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, slash - start);
    if (!part.empty() && part != "." && part != "..") parts.push_back(part);
    start = slash + 1;
  }
  const std::size_t first =
      parts.size() > NAMED_MAX_COMPONENTS ? parts.size() - NAMED_MAX_COMPONENTS : 0;
  for (std::size_t k = first; k + 1 < parts.size(); ++k) {
    std::string key(parts[k]);
    for (std::size_t j = k + 1; j < parts.size(); ++j) {
      key += '/';
      key += parts[j];
    }
    add_key(keys, key);
  }
}

}  // namespace

std::vector<std::string> named_path_keys(std::string_view text) {
  absl::flat_hash_set<std::string_view> in_code;
  for_each_code_span(text, [&](std::string_view span) {
    for_each_token(span, [&](std::string_view token) { in_code.insert(token); });
  });
  std::vector<std::string> keys;
  for_each_token(text, [&](std::string_view token) {
    if (token.size() < 2) return;
    std::string low = ascii_lowered(token);
    if (low.find('/') == std::string::npos && is_dotted_module(low)) {
      std::replace(low.begin(), low.end(), '.', '/');
    }
    if (low.find('/') != std::string::npos) {
      add_path_keys(keys, low);
    } else if (in_code.contains(token) || is_name_like(token)) {
      add_key(keys, low);
    }
  });
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

std::vector<char> named_files(const index::GraphRecords& graph, const index::TermStats& stats,
                              const std::vector<std::string>& keys) {
  std::vector<char> named(stats.file_count(), 0);
  if (keys.empty()) return named;
  absl::flat_hash_set<std::string_view> wanted(keys.begin(), keys.end());
  std::vector<std::pair<std::string_view, std::uint32_t>> hits;  // (key, file)
  const auto visit_suffixes = [&](std::string_view key, std::uint32_t file) {
    std::size_t from = 0;
    while (true) {
      const std::string_view suffix = key.substr(from);
      if (const auto found = wanted.find(suffix); found != wanted.end()) {
        hits.emplace_back(*found, file);
      }
      const std::size_t slash = key.find('/', from);
      if (slash == std::string_view::npos) return;
      from = slash + 1;
    }
  };
  // A key that fits a file ends in the file's name, its name without extension or, for
  // an index file, its directory's name: files whose names no key ends in are passed by.
  absl::flat_hash_set<std::string_view> last_parts;
  for (const std::string& key : keys)
    last_parts.insert(std::string_view(key).substr(key.rfind('/') + 1));
  std::string path;
  for (std::uint32_t file = 0; file < stats.file_count(); ++file) {
    const std::string_view id = graph.nodes[stats.node(file)].id.text;
    lower_into(id, path);
    const std::string_view head = scanner::without_extension(path);
    const std::size_t slash = head.rfind('/');
    const std::string_view last = head.substr(slash + 1);
    const bool index_file =
        (last == "index" || last == "__init__") && slash != std::string_view::npos;
    const std::string_view folder =
        index_file ? scanner::parent_directory(head) : std::string_view();
    const std::string_view folder_name = folder.substr(folder.rfind('/') + 1);
    if (!last_parts.contains(std::string_view(path).substr(slash + 1)) &&
        !last_parts.contains(last) && !(index_file && last_parts.contains(folder_name))) {
      continue;
    }
    visit_suffixes(path, file);
    visit_suffixes(head, file);
    if (index_file) visit_suffixes(folder, file);
  }
  std::sort(hits.begin(), hits.end());
  hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
  for (std::size_t i = 0; i < hits.size();) {
    std::size_t end = i;
    while (end < hits.size() && hits[end].first == hits[i].first) ++end;
    if (end - i <= NAMED_MAX_FILES) {
      for (std::size_t j = i; j < end; ++j) named[hits[j].second] = 1;
    }
    i = end;
  }
  return named;
}

}  // namespace plinthar::query::hybrid
